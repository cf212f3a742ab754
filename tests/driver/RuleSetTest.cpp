// The driver's decisions, as tables of accesses against small rule sets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/RuleSet.h"
#include "monitor/DriverContract.h"

using namespace kf;
using namespace kfdrv;

namespace {

constexpr unsigned char Sub(unsigned char kind) { return static_cast<unsigned char>(kind + RULE_SUBFOLDERS); }

struct Case {
    const char* what;
    const std::vector<Rule>* rules;
    const char* task;
    const char* op;
    const char* path;
    Verdict verdict;
    const char* answer;  // what kfwsim prints
    const char* report;  // "" for none
    bool enforcing = true;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

RuleSet Load(const std::vector<Rule>& rules) {
    RuleSet set;
    for (const Rule& r : rules) EXPECT_TRUE(set.Add(r.kind, r.text)) << r.text;
    return set;
}

class Decisions : public testing::TestWithParam<Case> {};

TEST_P(Decisions, AnswerAndReport) {
    const Case& c = GetParam();
    RuleSet set = Load(*c.rules);
    Operation op;
    ASSERT_TRUE(ParseOperation(c.op, &op));
    Decision d = set.Decide(c.enforcing, c.task, op, c.path);
    EXPECT_EQ(c.verdict, d.verdict);
    EXPECT_EQ(c.answer, AnswerText(d));
    EXPECT_EQ(c.report, d.report);
    if (d.rule >= 0) {
        EXPECT_EQ(set.Rules()[d.rule].text, d.ruleText);
    }
}

const Verdict A = Verdict::Allowed, D = Verdict::Denied, N = Verdict::NotFound;

// Every check present, so each case shows which one comes first.
const std::vector<Rule> kAll = {
    {RULE_SAFE_TASK, "backup.exe"},
    {RULE_HIDE, "*.tmp"},
    {Sub(RULE_READ_ONLY), "C:\\Data\\*.*"},
    {Sub(RULE_LOG_ONLY), "C:\\Data\\*.*"},
    {Sub(RULE_NO_ACCESS), "C:\\Secret\\*.*"},
    {RULE_NO_ACCESS, "C:\\Data\\pay.xls"},
    {RULE_SAFE_TASK, "********"},
};

const Case kOrder[] = {
    {"suspended allows all, reports nothing", &kAll, "x.exe", "write", "C:\\Secret\\a.txt", A,
     "allowed (suspended)", "", false},
    {"safe task before hide and no-access", &kAll, "backup.exe", "delete", "C:\\Secret\\a.tmp", A,
     "allowed [SafeList: backup.exe]", ""},
    {"safe task without regard to case", &kAll, "BACKUP.EXE", "write", "C:\\Secret\\a.txt", A,
     "allowed [SafeList: backup.exe]", ""},
    {"safe task is the whole name", &kAll, "backup.exe2", "write", "C:\\Secret\\a.txt", D,
     "denied [NoAccess: C:\\Secret\\*.*]",
     "Access denied: backup.exe2 write C:\\Secret\\a.txt [NoAccess: C:\\Secret\\*.*]"},
    {"stars in a safe task are no wildcard", &kAll, "notepad.exe", "write", "C:\\Secret\\a.txt", D,
     "denied [NoAccess: C:\\Secret\\*.*]",
     "Access denied: notepad.exe write C:\\Secret\\a.txt [NoAccess: C:\\Secret\\*.*]"},
    {"stars in a safe task match themselves", &kAll, "********", "write", "C:\\Secret\\a.txt", A,
     "allowed [SafeList: ********]", ""},
    {"hide before no-access", &kAll, "x.exe", "read", "C:\\Secret\\a.tmp", N, "not found [Hide: *.tmp]", ""},
    {"no-access before read-only, whatever the rule order", &kAll, "x.exe", "read", "C:\\Data\\pay.xls",
     D, "denied [NoAccess: C:\\Data\\pay.xls]",
     "Access denied: x.exe read C:\\Data\\pay.xls [NoAccess: C:\\Data\\pay.xls]"},
    {"read-only stops a write", &kAll, "x.exe", "write", "C:\\Data\\a.txt", D,
     "denied [ReadOnlyAccess: C:\\Data\\*.*]",
     "Access denied: x.exe write C:\\Data\\a.txt [ReadOnlyAccess: C:\\Data\\*.*]"},
    {"read-only stops a create", &kAll, "x.exe", "create", "C:\\Data\\new.txt", D,
     "denied [ReadOnlyAccess: C:\\Data\\*.*]",
     "Access denied: x.exe create C:\\Data\\new.txt [ReadOnlyAccess: C:\\Data\\*.*]"},
    {"read-only stops a delete", &kAll, "x.exe", "delete", "C:\\Data\\a.txt", D,
     "denied [ReadOnlyAccess: C:\\Data\\*.*]",
     "Access denied: x.exe delete C:\\Data\\a.txt [ReadOnlyAccess: C:\\Data\\*.*]"},
    {"read-only stops a rename", &kAll, "x.exe", "rename", "C:\\Data\\a.txt", D,
     "denied [ReadOnlyAccess: C:\\Data\\*.*]",
     "Access denied: x.exe rename C:\\Data\\a.txt [ReadOnlyAccess: C:\\Data\\*.*]"},
    {"a read under read-only goes on to log", &kAll, "x.exe", "read", "C:\\Data\\a.txt", A,
     "allowed [JustInfo: C:\\Data\\*.*]", "Log: FYI x.exe read C:\\Data\\a.txt [JustInfo: C:\\Data\\*.*]"},
    {"a listing under read-only goes on to log", &kAll, "x.exe", "list", "C:\\Data\\sub", A,
     "allowed [JustInfo: C:\\Data\\*.*]", "Log: FYI x.exe list C:\\Data\\sub [JustInfo: C:\\Data\\*.*]"},
    {"an execute under read-only goes on to log", &kAll, "x.exe", "execute", "C:\\Data\\t.exe", A,
     "allowed [JustInfo: C:\\Data\\*.*]", "Log: FYI x.exe execute C:\\Data\\t.exe [JustInfo: C:\\Data\\*.*]"},
    {"nothing applies", &kAll, "x.exe", "write", "C:\\Other\\a.txt", A, "allowed", ""},
};
INSTANTIATE_TEST_SUITE_P(Order, Decisions, testing::ValuesIn(kOrder));

const std::vector<Rule> kHide = {
    {RULE_HIDE, "*.tmp"},
    {RULE_HIDE, "secret"},
    {RULE_HIDE, "C:\\H\\*.bin"},
    {Sub(RULE_HIDE), "C:\\HS\\*.bin"},
};

const Case kHidden[] = {
    {"hide: read", &kHide, "x.exe", "read", "C:\\Docs\\a.tmp", N, "not found [Hide: *.tmp]", ""},
    {"hide: write", &kHide, "x.exe", "write", "C:\\Docs\\a.tmp", N, "not found [Hide: *.tmp]", ""},
    {"hide: create", &kHide, "x.exe", "create", "C:\\Docs\\a.tmp", N, "not found [Hide: *.tmp]", ""},
    {"hide: delete", &kHide, "x.exe", "delete", "C:\\Docs\\a.tmp", N, "not found [Hide: *.tmp]", ""},
    {"hide: rename", &kHide, "x.exe", "rename", "C:\\Docs\\a.tmp", N, "not found [Hide: *.tmp]", ""},
    {"hide: list", &kHide, "x.exe", "list", "C:\\Docs\\a.tmp", N, "not found [Hide: *.tmp]", ""},
    {"hide: execute", &kHide, "x.exe", "execute", "C:\\Docs\\a.tmp", N, "not found [Hide: *.tmp]", ""},
    {"hide without regard to case", &kHide, "x.exe", "read", "C:\\DOCS\\A.TMP", N, "not found [Hide: *.tmp]", ""},
    {"a hidden folder hides what is in it", &kHide, "x.exe", "read", "C:\\a\\Secret\\b\\c.txt", N,
     "not found [Hide: secret]", ""},
    {"the hidden folder itself", &kHide, "x.exe", "list", "C:\\a\\secret", N, "not found [Hide: secret]", ""},
    {"a longer name is another name", &kHide, "x.exe", "read", "C:\\a\\secrets\\b.txt", A, "allowed", ""},
    {"hide with a folder: right in it", &kHide, "x.exe", "read", "C:\\H\\a.bin", N,
     "not found [Hide: C:\\H\\*.bin]", ""},
    {"hide with a folder: inside what it hides", &kHide, "x.exe", "read", "C:\\H\\x.bin\\in.txt", N,
     "not found [Hide: C:\\H\\*.bin]", ""},
    {"hide with a folder: not deeper without sub-folders", &kHide, "x.exe", "read", "C:\\H\\d\\a.bin", A,
     "allowed", ""},
    {"hide with sub-folders: deeper", &kHide, "x.exe", "read", "C:\\HS\\d\\e\\a.bin", N,
     "not found [Hide: C:\\HS\\*.bin]", ""},
};
INSTANTIATE_TEST_SUITE_P(Hide, Decisions, testing::ValuesIn(kHidden));

// Exclusions come before and after their rules: order does not matter.
const std::vector<Rule> kExcl = {
    {RULE_EXCLUDE_NO_ACCESS, "C:\\Secret\\readme.txt"},
    {Sub(RULE_NO_ACCESS), "C:\\Secret\\*.*"},
    {Sub(RULE_READ_ONLY), "C:\\Data\\*.*"},
    {Sub(RULE_EXCLUDE_READ_ONLY), "C:\\Data\\Scratch\\*.*"},
    {Sub(RULE_LOG_ONLY), "C:\\Logged\\*.*"},
    {RULE_EXCLUDE_LOG_ONLY, "*.bak"},
    {RULE_HIDE, "*.tmp"},
    {RULE_EXCLUDE_HIDE, "C:\\Keep\\*.tmp"},
    {RULE_NO_ACCESS, "C:\\Keep\\locked.tmp"},
};

const Case kExclusions[] = {
    {"no-access exclusion exempts", &kExcl, "x.exe", "write", "C:\\Secret\\readme.txt", A, "allowed", ""},
    {"no-access exclusion without sub-folders stays in its folder", &kExcl, "x.exe", "read",
     "C:\\Secret\\d\\readme.txt", D, "denied [NoAccess: C:\\Secret\\*.*]",
     "Access denied: x.exe read C:\\Secret\\d\\readme.txt [NoAccess: C:\\Secret\\*.*]"},
    {"next to the exclusion still denied", &kExcl, "x.exe", "read", "C:\\Secret\\other.txt", D,
     "denied [NoAccess: C:\\Secret\\*.*]",
     "Access denied: x.exe read C:\\Secret\\other.txt [NoAccess: C:\\Secret\\*.*]"},
    {"read-only exclusion with sub-folders, deep", &kExcl, "x.exe", "write", "C:\\Data\\Scratch\\a\\b.txt",
     A, "allowed", ""},
    {"read-only outside its exclusion", &kExcl, "x.exe", "write", "C:\\Data\\b.txt", D,
     "denied [ReadOnlyAccess: C:\\Data\\*.*]",
     "Access denied: x.exe write C:\\Data\\b.txt [ReadOnlyAccess: C:\\Data\\*.*]"},
    {"log-only exclusion by bare name", &kExcl, "x.exe", "read", "C:\\Logged\\d\\a.BAK", A, "allowed", ""},
    {"log-only outside its exclusion", &kExcl, "x.exe", "read", "C:\\Logged\\a.txt", A,
     "allowed [JustInfo: C:\\Logged\\*.*]", "Log: FYI x.exe read C:\\Logged\\a.txt [JustInfo: C:\\Logged\\*.*]"},
    {"hide exclusion shows it", &kExcl, "x.exe", "list", "C:\\Keep\\a.tmp", A, "allowed", ""},
    {"hide outside its exclusion", &kExcl, "x.exe", "list", "C:\\Other\\a.tmp", N, "not found [Hide: *.tmp]", ""},
    {"a hide exclusion leaves the no-access list alone", &kExcl, "x.exe", "read", "C:\\Keep\\locked.tmp", D,
     "denied [NoAccess: C:\\Keep\\locked.tmp]",
     "Access denied: x.exe read C:\\Keep\\locked.tmp [NoAccess: C:\\Keep\\locked.tmp]"},
};
INSTANTIATE_TEST_SUITE_P(Exclusions, Decisions, testing::ValuesIn(kExclusions));

const std::vector<Rule> kPaths = {
    {Sub(RULE_NO_ACCESS), "C:\\Deep\\*.*"},
    {RULE_NO_ACCESS, "C:\\Flat\\*.*"},
    {Sub(RULE_NO_ACCESS), "C:\\Secret"},
    {RULE_NO_ACCESS, "C:\\Plain"},
    {RULE_NO_ACCESS, "regedit.exe"},
    {RULE_NO_ACCESS, "C:\\Q\\file?.txt"},
    {RULE_NO_ACCESS, "C:\\S\\*.doc"},
    {RULE_NO_ACCESS, "C:\\M\\a*b*c"},
    {RULE_NO_ACCESS, "C:\\Trail\\"},
    {RULE_NO_ACCESS, "C:\\W*\\a.txt"},
    {Sub(RULE_NO_ACCESS), "private"},
    {Sub(RULE_NO_ACCESS), "C:\\Docs\\*.doc"},
};

#define NO_ACCESS_CASE(what, path, rule) \
    {what, &kPaths, "t.exe", "read", path, D, "denied [NoAccess: " rule "]", \
     "Access denied: t.exe read " path " [NoAccess: " rule "]"}
#define ALLOWED_CASE(what, path) {what, &kPaths, "t.exe", "read", path, A, "allowed", ""}

const Case kPathCases[] = {
    NO_ACCESS_CASE("sub-folders: right in the folder", "C:\\Deep\\a.txt", "C:\\Deep\\*.*"),
    NO_ACCESS_CASE("sub-folders: any depth", "C:\\Deep\\a\\b\\c.txt", "C:\\Deep\\*.*"),
    ALLOWED_CASE("a folder's wildcard rule names what is in it, not it", "C:\\Deep"),
    NO_ACCESS_CASE("plain: right in the folder", "C:\\Flat\\a.txt", "C:\\Flat\\*.*"),
    ALLOWED_CASE("plain: not below", "C:\\Flat\\sub\\a.txt"),
    NO_ACCESS_CASE("*.* matches a name without a dot", "C:\\Flat\\README", "C:\\Flat\\*.*"),
    NO_ACCESS_CASE("folder rule with sub-folders: the folder", "C:\\Secret", "C:\\Secret"),
    NO_ACCESS_CASE("folder rule with sub-folders: below it", "C:\\Secret\\x\\y.doc", "C:\\Secret"),
    ALLOWED_CASE("folder rule: a longer name is another folder", "C:\\SecretPlans\\a.txt"),
    ALLOWED_CASE("folder rule: anchored at its own place", "C:\\Other\\Secret\\a.txt"),
    ALLOWED_CASE("folder rule: the same name elsewhere", "C:\\Other\\Secret"),
    NO_ACCESS_CASE("bare folder name with sub-folders: inside it anywhere", "D:\\a\\Private\\b.txt", "private"),
    NO_ACCESS_CASE("wildcard with sub-folders: names at any depth", "C:\\Docs\\a\\b.doc", "C:\\Docs\\*.doc"),
    ALLOWED_CASE("wildcard with sub-folders: not inside a folder it names", "C:\\Docs\\x.doc\\readme.txt"),
    NO_ACCESS_CASE("plain folder rule: the folder entry", "C:\\Plain", "C:\\Plain"),
    ALLOWED_CASE("plain folder rule: not what is in it", "C:\\Plain\\a.txt"),
    NO_ACCESS_CASE("bare name in a system folder", "C:\\WINDOWS\\REGEDIT.EXE", "regedit.exe"),
    NO_ACCESS_CASE("bare name in any folder", "D:\\x\\y\\regedit.exe", "regedit.exe"),
    ALLOWED_CASE("bare name is the whole name", "C:\\regedit.exe.bak"),
    NO_ACCESS_CASE("? is one character", "C:\\Q\\file1.txt", "C:\\Q\\file?.txt"),
    ALLOWED_CASE("? is not two", "C:\\Q\\file12.txt"),
    ALLOWED_CASE("? is not none", "C:\\Q\\file.txt"),
    NO_ACCESS_CASE("* and a suffix", "C:\\S\\a.doc", "C:\\S\\*.doc"),
    NO_ACCESS_CASE("* may be empty", "C:\\S\\.doc", "C:\\S\\*.doc"),
    ALLOWED_CASE("the suffix ends the name", "C:\\S\\a.docx"),
    NO_ACCESS_CASE("several *, backtracking", "C:\\M\\aXbYbZc", "C:\\M\\a*b*c"),
    ALLOWED_CASE("several *, in order only", "C:\\M\\acb"),
    NO_ACCESS_CASE("paths without regard to case", "c:\\deep\\A\\B.TXT", "C:\\Deep\\*.*"),
    NO_ACCESS_CASE("forward slashes separate too", "C:/Deep/a.txt", "C:\\Deep\\*.*"),
    NO_ACCESS_CASE("doubled backslashes", "C:\\\\Deep\\a.txt", "C:\\Deep\\*.*"),
    NO_ACCESS_CASE("a trailing backslash names what is in the folder", "C:\\Trail\\a", "C:\\Trail\\"),
    ALLOWED_CASE("a trailing backslash: not the folder", "C:\\Trail"),
    ALLOWED_CASE("wildcards before the last part are plain characters", "C:\\Wx\\a.txt"),
    NO_ACCESS_CASE("... and match themselves", "C:\\W*\\a.txt", "C:\\W*\\a.txt"),
    ALLOWED_CASE("an empty path", ""),
};
INSTANTIATE_TEST_SUITE_P(Paths, Decisions, testing::ValuesIn(kPathCases));

TEST(Reports, FyiStandsAtFiveAndNotInADenial) {
    RuleSet set = Load({{RULE_NO_ACCESS, "C:\\FYI\\*.*"}, {RULE_LOG_ONLY, "C:\\L\\*.*"}});
    Decision deny = set.Decide(true, "FYI.EXE", Operation::Write, "C:\\FYI\\FYI.txt");
    Decision log = set.Decide(true, "a", Operation::Read, "C:\\L\\b");
    ASSERT_FALSE(deny.report.empty());
    EXPECT_EQ(std::string::npos, deny.report.substr(0, 16).find("FYI"));
    EXPECT_EQ(5u, log.report.find("FYI"));
}

TEST(Reports, CutTo511) {
    RuleSet set = Load({{Sub(RULE_NO_ACCESS), "C:\\Long\\*.*"}, {Sub(RULE_LOG_ONLY), "C:\\Log\\*.*"}});
    for (const char* folder : {"C:\\Long\\", "C:\\Log\\"}) {
        std::string path = folder + std::string(600, 'p');
        Decision d = set.Decide(true, "t.exe", Operation::Read, path);
        std::string whole = (d.basis == Basis::NoAccess ? "Access denied: " : "Log: FYI ") +
                            std::string("t.exe read ") + path;
        ASSERT_EQ(kReportMax, d.report.size()) << folder;
        EXPECT_EQ(whole.substr(0, kReportMax), d.report);
    }
    // Just short enough: kept whole, rule and all.
    const std::string head = "Access denied: t.exe read C:\\Long\\", tail = " [NoAccess: C:\\Long\\*.*]";
    std::string path = "C:\\Long\\" + std::string(kReportMax - head.size() - tail.size(), 'q');
    Decision d = set.Decide(true, "t.exe", Operation::Read, path);
    EXPECT_EQ(kReportMax, d.report.size());
    EXPECT_EQ(tail, d.report.substr(d.report.size() - tail.size()));
}

TEST(Rules, UnknownKindsAreRefusedAndKeepNothing) {
    RuleSet set;
    for (unsigned kind : {10u, 11u, 0x4Fu, 0x50u, 0x54u, 0x5Au, 0x60u, 0xA1u, 0xFFu}) {
        EXPECT_FALSE(set.Add(static_cast<unsigned char>(kind), "C:\\x")) << kind;
        EXPECT_FALSE(IsKnownKind(kind)) << kind;
    }
    EXPECT_TRUE(set.Rules().empty());
    for (unsigned kind : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 0x51u, 0x52u, 0x53u, 0x55u, 0x56u, 0x57u,
                          0x58u, 0x59u})
        EXPECT_TRUE(set.Add(static_cast<unsigned char>(kind), std::to_string(kind))) << kind;
    ASSERT_EQ(17u, set.Rules().size());
    EXPECT_EQ("1", set.Rules().front().text);
    EXPECT_EQ(0x59, set.Rules().back().kind);
    EXPECT_TRUE(set.Add(RULE_CLEAR, ""));
    EXPECT_TRUE(set.Rules().empty());
}

TEST(Rules, ClearForgetsDecisionsToo) {
    RuleSet set = Load({{RULE_NO_ACCESS, "*.*"}});
    EXPECT_EQ(Verdict::Denied, set.Decide(true, "t", Operation::Read, "C:\\a").verdict);
    set.Add(RULE_CLEAR, "");
    set.Add(RULE_LOG_ONLY, "*.*");
    Decision d = set.Decide(true, "t", Operation::Read, "C:\\a");
    EXPECT_EQ(Basis::LogOnly, d.basis);
    EXPECT_EQ(0, d.rule);
}

TEST(Rules, MiscasedExclusionPrefixOnAPathKind) {
    struct {
        unsigned char kind;
        const char* text;
        bool marked;
    } cases[] = {
        {RULE_READ_ONLY, "exclude: C:\\x", true},
        {Sub(RULE_HIDE), "EXCLUDE: *.tmp", true},
        {RULE_NO_ACCESS, "Exclude: C:\\x", true},  // still taken as a path
        {RULE_EXCLUDE_READ_ONLY, "exclude: C:\\x", false},
        {RULE_SAFE_TASK, "exclude: a.exe", false},
        {RULE_LOG_ONLY, "exclude:C:\\x", false},
        {RULE_LOG_ONLY, "C:\\exclude: x", false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.marked, LooksLikeExclusion({c.kind, c.text})) << c.text;
}

TEST(Rules, KindNames) {
    EXPECT_EQ("no-access", KindName(RULE_NO_ACCESS));
    EXPECT_EQ("hide exclusion, sub-folders", KindName(Sub(RULE_EXCLUDE_HIDE)));
    EXPECT_EQ("safe task", KindName(RULE_SAFE_TASK));
    EXPECT_EQ("unknown", KindName(0x54));
}

TEST(Operations, WordsBothWays) {
    const char* words[] = {"read", "write", "create", "delete", "rename", "list", "execute"};
    for (const char* w : words) {
        Operation op;
        ASSERT_TRUE(ParseOperation(w, &op)) << w;
        EXPECT_STREQ(w, OperationWord(op));
    }
    Operation op;
    EXPECT_TRUE(ParseOperation("WRITE", &op));
    EXPECT_EQ(Operation::Write, op);
    for (const char* bad : {"", "writes", "open", "re"}) EXPECT_FALSE(ParseOperation(bad, &op)) << bad;
}

}  // namespace
