// kfwsim as a process of its own against the driver loaded here.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/driver/DriverHarness.h"

using namespace kf;
using kftest::LoadedDriver;
using kftest::ProcessResult;

namespace {

constexpr unsigned char Sub(unsigned char kind) { return static_cast<unsigned char>(kind + RULE_SUBFOLDERS); }

ProcessResult Kfwsim(const std::vector<std::string>& args) { return kftest::RunProgram("kfwsim.exe", args); }

class KfwsimTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(d.Ok());
        ASSERT_TRUE(d.Rule(RULE_SAFE_TASK, "backup.exe"));
        ASSERT_TRUE(d.Rule(RULE_HIDE, "*.tmp"));
        ASSERT_TRUE(d.Rule(Sub(RULE_NO_ACCESS), "C:\\Secret\\*.*"));
        ASSERT_TRUE(d.Rule(RULE_READ_ONLY, "C:\\Docs\\*.*"));
        ASSERT_TRUE(d.Rule(RULE_LOG_ONLY, "C:\\Docs\\*.*"));
        ASSERT_TRUE(d.Attach());
    }
    LoadedDriver d;
};

TEST_F(KfwsimTest, AnswersNameTheRuleAndSetTheExitStatus) {
    struct {
        std::vector<std::string> args;
        DWORD exit;
        const char* out;
    } cases[] = {
        {{"app.exe", "write", "C:\\Secret\\a\\b.txt"}, 1,
         "denied [NoAccess: C:\\Secret\\*.*]\nreport: written to slot 1\n"},
        {{"app.exe", "delete", "C:\\Docs\\a.txt"}, 1,
         "denied [ReadOnlyAccess: C:\\Docs\\*.*]\nreport: written to slot 2\n"},
        {{"app.exe", "read", "C:\\Docs\\a.txt"}, 0, "allowed [JustInfo: C:\\Docs\\*.*]\nreport: written to slot 3\n"},
        {{"app.exe", "list", "C:\\Docs\\x.TMP"}, 2, "not found [Hide: *.tmp]\n"},
        {{"Backup.EXE", "write", "C:\\Secret\\a.txt"}, 0, "allowed [SafeList: backup.exe]\n"},
        {{"app.exe", "execute", "C:\\Apps\\run.exe"}, 0, "allowed\n"},
        {{"my app.exe", "Rename", "C:\\Secret\\with space\\"}, 1,
         "denied [NoAccess: C:\\Secret\\*.*]\nreport: written to slot 4\n"},
    };
    for (const auto& c : cases) {
        ProcessResult r = Kfwsim(c.args);
        EXPECT_EQ(c.exit, r.exitCode) << c.args[2];
        EXPECT_EQ(c.out, r.out) << c.args[2];
        EXPECT_EQ("", r.err) << c.args[2];
    }
    EXPECT_EQ("Access denied: my app.exe rename C:\\Secret\\with space\\ [NoAccess: C:\\Secret\\*.*]", d.Slot(4));
}

TEST_F(KfwsimTest, ReportGoesIntoTheNextSlotAsItStands) {
    ProcessResult r = Kfwsim({"--report", "Access denied: [FYI] %s%n \"quoted\""});
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ("report: written to slot 1\n", r.out);
    EXPECT_EQ("Access denied: [FYI] %s%n \"quoted\"", d.Slot(1));
    EXPECT_TRUE(d.Signalled());

    std::string big(700, 'B');
    r = Kfwsim({"--report", big});
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ(std::string(512, 'B'), std::string(d.Ring().slots[2], 512));  // fills the slot, no NUL
    EXPECT_EQ(0, d.Ring().slots[3][0]);

    ASSERT_TRUE(d.Detach());
    r = Kfwsim({"--report", "nobody reads"});
    EXPECT_EQ(1u, r.exitCode);
    EXPECT_EQ("report: dropped (no client attached)\n", r.out);
}

TEST_F(KfwsimTest, BurstCountsEachAnswer) {
    ProcessResult r = Kfwsim({"--burst", "200", "app.exe", "write", "C:\\Secret\\a"});
    EXPECT_EQ(0u, r.exitCode) << r.err;
    EXPECT_EQ(0u, r.out.find("denied [NoAccess: C:\\Secret\\*.*]\naccesses: 200 in ")) << r.out;
    EXPECT_NE(std::string::npos,
              r.out.find(" ms\nallowed: 0\ndenied: 200\nnot found: 0\nreports written: 200\nreports dropped: 0\n"))
        << r.out;
    EXPECT_EQ(200, d.Ring().writeIndex);

    d.Consume();
    r = Kfwsim({"--burst", "1000", "backup.exe", "read", "C:\\Secret\\a"});
    EXPECT_NE(std::string::npos, r.out.find("allowed: 1000\ndenied: 0\nnot found: 0\nreports written: 0\n")) << r.out;
    r = Kfwsim({"--burst", "3", "app.exe", "read", "C:\\x.tmp"});
    EXPECT_NE(std::string::npos, r.out.find("not found: 3\n")) << r.out;
}

TEST_F(KfwsimTest, StatusShowsStateRulesAndCounters) {
    ASSERT_TRUE(d.Rule(Sub(RULE_READ_ONLY), "exclude: C:\\x"));
    ASSERT_TRUE(d.Rule(RULE_EXCLUDE_READ_ONLY, "C:\\Docs\\free.txt"));
    ASSERT_TRUE(d.Control(CTL_SUSPEND, nullptr, 4));
    Kfwsim({"--report", "one"});
    ASSERT_TRUE(d.Detach());
    Kfwsim({"--report", "two"});

    ProcessResult r = Kfwsim({"--status"});
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ("state: suspended\n"
              "client: none\n"
              "rules: 7\n"
              "1. kind 4 (safe task): backup.exe\n"
              "2. kind 5 (hide): *.tmp\n"
              "3. kind 82 (no-access, sub-folders): C:\\Secret\\*.*\n"
              "4. kind 1 (read-only): C:\\Docs\\*.*\n"
              "5. kind 3 (log-only): C:\\Docs\\*.*\n"
              "6. kind 81 (read-only, sub-folders): exclude: C:\\x  <- taken as a path, not as an exclusion\n"
              "7. kind 6 (read-only exclusion): C:\\Docs\\free.txt\n"
              "reports written: 1\n"
              "reports dropped: 1 (no client 1, ring full 0, mutex busy 0, no mutex 0, bad ring 0)\n",
              r.out);
}

TEST_F(KfwsimTest, UsageErrorsAskNothing) {
    const std::vector<std::string> cases[] = {
        {},
        {"app.exe", "fly", "C:\\a"},
        {"app.exe", "read"},
        {"app.exe", "read", "C:\\a", "extra"},
        {"--burst", "many", "app.exe", "read", "C:\\a"},
        {"--burst", "0", "app.exe", "read", "C:\\a"},
        {"--burst", "-5", "app.exe", "read", "C:\\a"},
        {"--burst", "5", "app.exe", "jump", "C:\\a"},
        {"--burst", "5"},
        {"--report"},
        {"--report", "a", "b"},
        {"--status", "now"},
        {"--verbose"},
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        ProcessResult r = Kfwsim(args);
        EXPECT_EQ(4u, r.exitCode) << shown;
        EXPECT_EQ("", r.out) << shown;
        EXPECT_NE(std::string::npos, r.err.find("usage: kfwsim")) << shown;
    }
    EXPECT_NE(std::string::npos, Kfwsim({"a", "fly", "C:\\a"}).err.find("unknown operation \"fly\""));
    EXPECT_EQ(0, d.Ring().writeIndex);
    EXPECT_NE(std::string::npos, d.Status().find("reports written: 0\nreports dropped: 0 "));
}

TEST(KfwsimWithoutDriver, EveryVerbSaysSo) {
    // A pipe nobody serves, as when KFWMONTR is not loaded.
    std::string none = kftest::TestPipeName() + "-none";
    SetEnvironmentVariableA(kfsim::kPipeNameVariable, none.c_str());
    const std::vector<std::string> cases[] = {
        {"app.exe", "read", "C:\\a"},
        {"--report", "x"},
        {"--burst", "5", "app.exe", "read", "C:\\a"},
        {"--status"},
    };
    for (const auto& args : cases) {
        ProcessResult r = Kfwsim(args);
        EXPECT_EQ(3u, r.exitCode) << args[0];
        EXPECT_EQ("", r.out) << args[0];
        EXPECT_EQ("kfwsim: KFWMONTR is not loaded (no pipe " + none + ")\n", r.err) << args[0];
    }
}

}  // namespace
