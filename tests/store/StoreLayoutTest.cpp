#include <gtest/gtest.h>

#include <algorithm>

#include "store/Scramble.h"
#include "store/StoreLayout.h"
#include "ui/rules/RuleExpression.h"
#include "tests/support/Registry.h"

using namespace kf;

namespace {

class StoreLayoutTest : public testing::Test {
protected:
    StoreLayoutTest() : root("StoreLayout") { store.SetRootPath(root.Path()); }
    std::vector<std::string> PlainValueNames(const std::string& key) {
        std::vector<std::string> names;
        for (const std::string& n : kftest::ValueNames(root.Path() + "\\" + ScrambleText(key, false)))
            names.push_back(UnscrambleText(n));
        std::sort(names.begin(), names.end());
        return names;
    }
    kftest::TestRoot root;
    CPolicyStore store;
};

TEST_F(StoreLayoutTest, FirstStartWritesExactlyTheUsersAndLastLogin) {
    store.WriteString(kInstallKey, kFolderValue, "C:\\K\\", false);
    FirstStartSetUp(store);
    EXPECT_EQ(PlainValueNames("General"),
              (std::vector<std::string>{"UserLastLogin", "UserUserName:1", "UserUserName:2"}));
    EXPECT_EQ(ReadUsersList(store), (std::vector<std::string>{"Administrator", "Guest"}));
    EXPECT_EQ(store.ReadString(kGeneralKey, kLastLoginValue, "", true), "Administrator");
    // No user key: every setting starts at its default.
    EXPECT_EQ(kftest::SubKeyNames(root.Path()).size(), 2u);  // Install and General

    // A store already set up is left alone.
    WriteUsersList(store, {"Administrator", "Bob", "Guest"});
    FirstStartSetUp(store);
    EXPECT_EQ(ReadUsersList(store), (std::vector<std::string>{"Administrator", "Bob", "Guest"}));
}

// The users list and a rule list share their numbered form: one table.
struct NumberedList {
    const char* name;
    const char* key;    // the key the list lives in
    const char* entry;  // value name before the index
    std::vector<std::string> (*read)(const CPolicyStore&);
    void (*write)(const CPolicyStore&, const std::vector<std::string>&);
};

const NumberedList kLists[] = {
    {"UsersList", kGeneralKey, "UserUserName:", [](const CPolicyStore& s) { return ReadUsersList(s); },
     [](const CPolicyStore& s, const std::vector<std::string>& v) { WriteUsersList(s, v); }},
    {"NoAccessRules", kDefaultKey, "NoAccessPathExp:",
     [](const CPolicyStore& s) { return ReadRuleList(s, kDefaultKey, RuleListKind::NoAccess); },
     [](const CPolicyStore& s, const std::vector<std::string>& v) {
         WriteRuleList(s, kDefaultKey, RuleListKind::NoAccess, v);
     }},
};

class NumberedListTest : public StoreLayoutTest, public testing::WithParamInterface<NumberedList> {
protected:
    std::string Entry(int i) const { return GetParam().entry + std::to_string(i); }
};

TEST_P(NumberedListTest, ListEndsAtTheFirstEmptyOrForeignEntry) {
    const NumberedList& l = GetParam();
    for (int i = 1; i <= 5; ++i) store.WriteString(l.key, Entry(i), "U" + std::to_string(i), true);
    store.WriteString(l.key, Entry(3), "", true);
    EXPECT_EQ(l.read(store), (std::vector<std::string>{"U1", "U2"}));
    store.WriteString(l.key, Entry(1), "", true);
    EXPECT_TRUE(l.read(store).empty());

    // A value of another type ends the list too.
    store.WriteString(l.key, Entry(1), "first", true);
    DWORD v = 5;
    kftest::WriteRaw(root.Path() + "\\" + ScrambleText(l.key, false), ScrambleText(Entry(2), false), REG_DWORD,
                     &v, sizeof v);
    EXPECT_EQ(l.read(store), (std::vector<std::string>{"first"}));
}

TEST_P(NumberedListTest, RewritingAShorterListLeavesOldValuesBeyondTheTerminator) {
    const NumberedList& l = GetParam();
    l.write(store, {"A", "B", "C", "D", "E"});
    l.write(store, {"A", "E"});
    EXPECT_EQ(l.read(store), (std::vector<std::string>{"A", "E"}));
    EXPECT_EQ(store.ReadString(l.key, Entry(3), "missing", true), "");
    EXPECT_EQ(store.ReadString(l.key, Entry(4), "", true), "D");
    EXPECT_EQ(store.ReadString(l.key, Entry(5), "", true), "E");
}

TEST_P(NumberedListTest, AtMost253EntriesAreRead) {
    const NumberedList& l = GetParam();
    std::vector<std::string> many;
    for (int i = 1; i <= 300; ++i) many.push_back("C:\\f" + std::to_string(i));
    l.write(store, many);
    std::vector<std::string> read = l.read(store);
    ASSERT_EQ(read.size(), 253u);
    EXPECT_EQ(read.back(), "C:\\f253");
}

INSTANTIATE_TEST_SUITE_P(Lists, NumberedListTest, testing::ValuesIn(kLists),
                         [](const testing::TestParamInfo<NumberedList>& i) { return std::string(i.param.name); });

TEST_F(StoreLayoutTest, GuestLivesUnderDefault) {
    EXPECT_EQ(UserKeyName("Guest"), "Default");
    EXPECT_EQ(UserKeyName("Administrator"), "Administrator");
    EXPECT_EQ(UserKeyName("guest"), "guest");  // only the exact name maps
    EXPECT_EQ(UserDisplayName("Default"), "Guest");
    EXPECT_EQ(UserDisplayName("Bob"), "Bob");
}

TEST_F(StoreLayoutTest, SettingsFlagsHaveTheirDefaultsAndStealthOverridesInMemoryOnly) {
    SettingsFlags f = LoadSettingsFlags(store, "Default");
    EXPECT_EQ(f.secureTimeout, 0);
    EXPECT_EQ(f.askPassword, 1);
    EXPECT_EQ(f.alertDisplay, 1);
    EXPECT_EQ(f.alertTone, 0);
    EXPECT_EQ(f.stealth, 0);

    for (const char* name : {"SecureTimeout", "SecureAskPass", "AlertDisplay", "AlertTone"})
        store.WriteInt("Bob", name, 1, true);
    f = LoadSettingsFlags(store, "Bob");
    EXPECT_EQ(f.secureTimeout + f.askPassword + f.alertDisplay + f.alertTone, 4);

    store.WriteInt("Bob", "Stealth", 1, true);
    f = LoadSettingsFlags(store, "Bob");
    EXPECT_EQ(f.stealth, 1);
    EXPECT_EQ(f.askPassword, 0);
    EXPECT_EQ(f.alertDisplay, 0);
    EXPECT_EQ(f.alertTone, 0);
    EXPECT_EQ(f.secureTimeout, 1);  // not touched by stealth
    EXPECT_EQ(store.ReadInt("Bob", "SecureAskPass", 0, true), 1);  // the store keeps its value

    // Any non-zero Stealth counts.
    store.WriteString("Bob", "Stealth", "7", true);
    EXPECT_EQ(LoadSettingsFlags(store, "Bob").askPassword, 0);
}

TEST_F(StoreLayoutTest, FirstStartOverIsRecordedInGeneral) {
    EXPECT_FALSE(IsFirstStartOver(store));
    MarkFirstStartOver(store);
    EXPECT_TRUE(IsFirstStartOver(store));
    std::vector<std::string> names = PlainValueNames("General");
    EXPECT_NE(std::find(names.begin(), names.end(), "FirstStartOver"), names.end());
}

TEST_F(StoreLayoutTest, InstallFolderIsReadUnscrambled) {
    EXPECT_EQ(ReadInstallFolder(store), "");
    kftest::WriteRaw(root.Path() + "\\Install", "Folder", REG_SZ, "C:\\Keyfort\\", 12);
    EXPECT_EQ(ReadInstallFolder(store), "C:\\Keyfort\\");
}

}  // namespace
