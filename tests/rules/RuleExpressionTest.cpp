#include <gtest/gtest.h>

#include <windows.h>

#include "store/Scramble.h"
#include "tests/support/Registry.h"
#include "ui/rules/RuleExpression.h"

using namespace kf;

namespace {

TEST(RuleExpression, RecognisesPrefixInAnyCaseAndSuffixExactly) {
    struct Case { const char* text; bool exclusion, subFolders; } cases[] = {
        {"Exclude: C:\\Data\\*.* /S", true, true},
        {"exclude: C:\\Data", true, false},
        {"EXCLUDE: x /s", true, true},
        {"Exclude:C:\\Data", false, false},  // no blank after the colon
        {"Exclude: ", true, false},
        {"Exclude:", false, false},          // shorter than nine
        {"C:\\Data /S", false, true},
        {"C:\\Data /s", false, true},
        {"C:\\Data/S", false, false},        // no blank before the slash
        {"C:\\Data /S ", false, false},      // something after the letter
        {"C:\\Data /X", false, false},
        {" /s", false, true},
        {"/S", false, false},
        {"", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsExclusion(c.text), c.exclusion) << c.text;
        EXPECT_EQ(HasSubFolders(c.text), c.subFolders) << c.text;
    }
}

TEST(RuleExpression, ComposesAsTheCheckBoxesChange) {
    struct Case { const char* text; bool exclusion; int on; const char* expected; } cases[] = {
        // exclusion on/off
        {"C:\\Data\\*.*", true, 1, "Exclude: C:\\Data\\*.*"},
        {"  C:\\Data  ", true, 1, "Exclude: C:\\Data"},
        {"exclude: C:\\Data", true, 1, "exclude: C:\\Data"},  // already has it, as typed
        {"Exclude: C:\\Data", true, 0, "C:\\Data"},
        {"eXclude:   C:\\Data", true, 0, "C:\\Data"},         // trimmed after the cut
        {"C:\\Data", true, 0, "C:\\Data"},
        // sub-folders on/off
        {"C:\\Data", false, 1, "C:\\Data /S"},
        {"C:\\Data /s", false, 1, "C:\\Data /s"},
        {"C:\\Data /s", false, 0, "C:\\Data"},
        {"C:\\Data /S", false, 0, "C:\\Data"},
        {"C:\\Data  /S", false, 0, "C:\\Data"},
        {"Exclude: C:\\Data /S", false, 0, "Exclude: C:\\Data"},
    };
    for (const Case& c : cases) {
        std::string got = c.exclusion ? SetExclusion(c.text, c.on != 0) : SetSubFolders(c.text, c.on != 0);
        EXPECT_EQ(got, c.expected) << '"' << c.text << '"';
    }
    // Both together, prefix first and suffix last.
    EXPECT_EQ(SetSubFolders(SetExclusion("C:\\Data\\*.*", true), true), "Exclude: C:\\Data\\*.* /S");
}

TEST(RuleExpression, ValueNamesJoinStorageWordEntryWordAndIndex) {
    EXPECT_EQ(RuleValueName(RuleListKind::NoAccess, 1), "NoAccessPathExp:1");
    EXPECT_EQ(RuleValueName(RuleListKind::ReadOnly, 7), "ReadOnlyAccessPathExp:7");
    EXPECT_EQ(RuleValueName(RuleListKind::LogAccess, 10), "JustInfoPathExp:10");
    EXPECT_EQ(RuleValueName(RuleListKind::Hide, 12), "HidePathExp:12");
    EXPECT_EQ(RuleValueName(RuleListKind::SafePrograms, 3), "SafeListTaskName:3");
}

class RuleListTest : public testing::Test {
protected:
    RuleListTest() : root("RuleLists") { store.SetRootPath(root.Path()); }
    kftest::TestRoot root;
    CPolicyStore store;
};

TEST_F(RuleListTest, WritesScrambledEntriesThenATerminatorAndReadsThemBack) {
    WriteRuleList(store, "Bob", RuleListKind::SafePrograms, {"DEFRAG", "SCANDSKW"});
    EXPECT_EQ(ReadRuleList(store, "Bob", RuleListKind::SafePrograms), (std::vector<std::string>{"DEFRAG", "SCANDSKW"}));
    // Stored under the scrambled names in the user's scrambled key.
    std::string key = root.Path() + "\\" + ScrambleText("Bob", false);
    DWORD type;
    std::string data;
    ASSERT_TRUE(kftest::ReadRaw(key, ScrambleText("SafeListTaskName:2", false), &type, &data));
    EXPECT_EQ(UnscrambleText(data.c_str()), "SCANDSKW");
    ASSERT_TRUE(kftest::ReadRaw(key, ScrambleText("SafeListTaskName:3", false), &type, &data));
    EXPECT_EQ(data, std::string(1, '\0'));
    // The lists of one user do not meet.
    EXPECT_TRUE(ReadRuleList(store, "Bob", RuleListKind::NoAccess).empty());
}

// How a list ends and what a shorter rewrite leaves: with the users list, in
// the store's tests.

class ShortPathTwinTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        CreateDirectoryA("C:\\kftest", nullptr);
        CreateDirectoryA("C:\\kftest\\Long Folder Name", nullptr);
        CreateDirectoryA("C:\\kftest\\Long Folder Name\\Deeper Sub Folder", nullptr);
    }
    static std::string Short(const char* path) {
        char buf[256];
        DWORD n = GetShortPathNameA(path, buf, sizeof buf);
        return std::string(buf, n);
    }
};

TEST_F(ShortPathTwinTest, OnlyTheFolderPartIsShortened) {
    const std::string deep = Short("C:\\kftest\\Long Folder Name\\Deeper Sub Folder");
    ASSERT_NE(deep, "C:\\kftest\\Long Folder Name\\Deeper Sub Folder");
    ASSERT_EQ(deep.find(' '), std::string::npos);
    struct Case { std::string text, twin; } cases[] = {
        {"C:\\kftest\\Long Folder Name\\Deeper Sub Folder\\Report File.doc", deep + "\\Report File.doc"},
        {"C:\\kftest\\Long Folder Name\\Deeper Sub Folder\\*.* /S", deep + "\\*.* /S"},
        // The prefix stays as typed, also in small letters.
        {"Exclude: C:\\kftest\\Long Folder Name\\Deeper Sub Folder\\*.* /S", "Exclude: " + deep + "\\*.* /S"},
        {"exclude: C:\\kftest\\Long Folder Name\\Deeper Sub Folder\\*.*", "exclude: " + deep + "\\*.*"},
        // The last component is not shortened, even when it is a folder.
        {"C:\\kftest\\Long Folder Name\\Deeper Sub Folder", Short("C:\\kftest\\Long Folder Name") + "\\Deeper Sub Folder"},
    };
    for (const Case& c : cases) {
        auto twin = MakeShortPathTwin(c.text);
        ASSERT_TRUE(twin.has_value()) << c.text;
        EXPECT_EQ(*twin, c.twin);
    }
}

TEST_F(ShortPathTwinTest, NoTwinWithoutABackslashAnExistingFolderOrALongerForm) {
    for (const char* text : {
             "regedit.exe",
             "Exclude: regedit.exe",
             "C:\\kftest\\No Such Folder Here\\a.txt",
             "C:\\kftest\\Long Folder *\\a.txt",  // wildcards in the folder part
             "C:\\kftest\\a.txt",                   // already short
             "c:\\KFTEST\\a.txt",                   // short, other letter case
             "",
         })
        EXPECT_FALSE(MakeShortPathTwin(text).has_value()) << text;
}

}  // namespace
