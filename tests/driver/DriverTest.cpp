// KFWMONTR.vxd as the program drives it: control codes in, reports out
// through the ring, answers through its pipe.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <thread>

#include "platform/Vxd.h"
#include "tests/driver/DriverHarness.h"

using namespace kf;
using kftest::LoadedDriver;

namespace {

constexpr unsigned char Sub(unsigned char kind) { return static_cast<unsigned char>(kind + RULE_SUBFOLDERS); }

int RuleCount(const std::string& status) {
    std::size_t at = status.find("rules: ");
    return at == std::string::npos ? -1 : std::atoi(status.c_str() + at + 7);
}

class DriverTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(d.Ok()) << "KFWMONTR.vxd not loaded from the working directory"; }
    LoadedDriver d;
};

TEST_F(DriverTest, RuleMessages) {
    EXPECT_TRUE(d.Rule(RULE_NO_ACCESS, "C:\\a"));
    EXPECT_TRUE(d.Rule(Sub(RULE_EXCLUDE_HIDE), "*.keep"));
    for (unsigned kind : {10u, 0x50u, 0x54u, 0x5Au, 0xFFu}) EXPECT_FALSE(d.Rule(static_cast<unsigned char>(kind), "C:\\b")) << kind;
    EXPECT_FALSE(d.Control(CTL_RULE, nullptr, 513));
    unsigned char empty = RULE_NO_ACCESS;
    EXPECT_FALSE(d.Control(CTL_RULE, &empty, 0));
    std::string status = d.Status();
    EXPECT_EQ(2, RuleCount(status)) << status;
    EXPECT_NE(std::string::npos, status.find("1. kind 2 (no-access): C:\\a\n")) << status;
    EXPECT_NE(std::string::npos, status.find("2. kind 89 (hide exclusion, sub-folders): *.keep\n")) << status;

    // The longest text, its NUL in the last byte of the message.
    std::string longest(kRuleTextMax, 'L');
    EXPECT_TRUE(d.Rule(RULE_LOG_ONLY, longest));
    EXPECT_NE(std::string::npos, d.Status().find("3. kind 3 (log-only): " + longest + "\n"));

    EXPECT_TRUE(d.Rule(RULE_CLEAR, "ignored"));
    EXPECT_EQ(0, RuleCount(d.Status()));
}

TEST_F(DriverTest, RuleMessageIsNotReadPastItsEnd) {
    // A message that ends where the memory does: a read past it faults.
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    char* pages = static_cast<char*>(VirtualAlloc(nullptr, 2 * si.dwPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(pages + si.dwPageSize, si.dwPageSize, PAGE_NOACCESS, &old);
    char* end = pages + si.dwPageSize;

    char* full = end - kRuleMessageBytes;
    full[0] = RULE_READ_ONLY;
    std::memset(full + 1, 'x', kRuleMessageBytes - 1);  // no NUL anywhere
    EXPECT_FALSE(d.Control(CTL_RULE, full, kRuleMessageBytes));
    EXPECT_FALSE(d.Control(CTL_RULE, full, 0x10000));  // a length past the message changes nothing

    char* shortMessage = end - 6;
    std::memcpy(shortMessage, "\x02" "C:\\z", 6);
    EXPECT_TRUE(d.Control(CTL_RULE, shortMessage, 6));
    EXPECT_NE(std::string::npos, d.Status().find("1. kind 2 (no-access): C:\\z\n"));
    VirtualFree(pages, 0, MEM_RELEASE);
}

TEST_F(DriverTest, ControlCodesAndClientChecks) {
    EXPECT_FALSE(d.Control(103));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION), GetLastError());
    EXPECT_TRUE(d.Control(CTL_SUSPEND, nullptr, 4));
    EXPECT_TRUE(d.Control(CTL_ENFORCE, nullptr, 4));

    SetClientInput in = {0x1234, 0};
    EXPECT_FALSE(d.Control(CTL_SET_CLIENT, &in, 4));
    EXPECT_FALSE(d.Control(CTL_SET_CLIENT, &in, sizeof in));  // no view
    {
        // A low place where a view was, and is no more.
        HANDLE m = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kRingBytes, nullptr);
        void* gone = platform::MapViewLow(m, FILE_MAP_WRITE, kRingBytes);
        ASSERT_NE(nullptr, gone);
        in.viewAddress = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(gone));
        UnmapViewOfFile(gone);
        CloseHandle(m);
    }
    EXPECT_FALSE(d.Control(CTL_SET_CLIENT, &in, sizeof in));
    EXPECT_NE(std::string::npos, d.Status().find("client: none"));
    EXPECT_TRUE(d.Attach());
    EXPECT_TRUE(d.Attach());  // before every wait, the same again
    EXPECT_NE(std::string::npos, d.Status().find("client: attached"));
    EXPECT_TRUE(d.Detach());
    EXPECT_TRUE(d.Detach());
}

TEST_F(DriverTest, ReportsReachTheRingAndSignal) {
    ASSERT_TRUE(d.Rule(Sub(RULE_NO_ACCESS), "C:\\Secret\\*.*"));
    ASSERT_TRUE(d.Rule(RULE_LOG_ONLY, "C:\\Logs\\*.*"));
    ASSERT_TRUE(d.Attach());
    struct {
        const char* op;
        const char* path;
        int32_t code;
        const char* answer;
        const char* report;
    } cases[] = {
        {"write", "C:\\Secret\\x\\a.txt", 1, "denied [NoAccess: C:\\Secret\\*.*]\nreport: written to slot 1\n",
         "Access denied: app.exe write C:\\Secret\\x\\a.txt [NoAccess: C:\\Secret\\*.*]"},
        {"READ", "C:\\Logs\\b.log", 0, "allowed [JustInfo: C:\\Logs\\*.*]\nreport: written to slot 2\n",
         "Log: FYI app.exe read C:\\Logs\\b.log [JustInfo: C:\\Logs\\*.*]"},
    };
    for (const auto& c : cases) {
        LoadedDriver::Answer a = d.Access("app.exe", c.op, c.path);
        ASSERT_EQ(kfsim::CallResult::Done, a.result);
        EXPECT_EQ(c.code, a.code);
        EXPECT_EQ(c.answer, a.text);
        EXPECT_EQ(c.report, d.Slot(d.Ring().writeIndex));
        EXPECT_TRUE(d.Signalled()) << c.path;
    }
    // No report: nothing written, no signal.
    EXPECT_EQ("allowed\n", d.Access("app.exe", "read", "C:\\Free\\c").text);
    EXPECT_EQ(2, d.Ring().writeIndex);
    EXPECT_FALSE(d.Signalled());
}

TEST_F(DriverTest, SuspendAndEnforce) {
    ASSERT_TRUE(d.Rule(RULE_NO_ACCESS, "*.*"));
    ASSERT_TRUE(d.Attach());
    ASSERT_TRUE(d.Control(CTL_SUSPEND, nullptr, 4));
    LoadedDriver::Answer a = d.Access("t.exe", "delete", "C:\\a");
    EXPECT_EQ(0, a.code);
    EXPECT_EQ("allowed (suspended)\n", a.text);
    EXPECT_EQ(0, d.Ring().writeIndex);
    EXPECT_NE(std::string::npos, d.Status().find("state: suspended"));
    ASSERT_TRUE(d.Control(CTL_ENFORCE, nullptr, 4));
    EXPECT_EQ(1, d.Access("t.exe", "delete", "C:\\a").code);
    EXPECT_EQ(1, d.Ring().writeIndex);
}

TEST_F(DriverTest, DetachStopsWrites) {
    ASSERT_TRUE(d.Rule(RULE_NO_ACCESS, "*.*"));
    ASSERT_TRUE(d.Attach());
    EXPECT_EQ(1, d.Access("t.exe", "read", "C:\\a").code);
    ASSERT_TRUE(d.Detach());
    LoadedDriver::Answer a = d.Access("t.exe", "read", "C:\\b");
    EXPECT_EQ("denied [NoAccess: *.*]\nreport: dropped (no client attached)\n", a.text);
    EXPECT_EQ(1, d.Ring().writeIndex);
    EXPECT_EQ("", d.Slot(2));
    std::string status = d.Status();
    EXPECT_NE(std::string::npos, status.find("reports written: 1\n")) << status;
    EXPECT_NE(std::string::npos, status.find("reports dropped: 1 (no client 1,")) << status;
}

TEST_F(DriverTest, FullRingWaitsItsBoundThenDrops) {
    ASSERT_TRUE(d.Rule(RULE_NO_ACCESS, "*.*"));
    ASSERT_TRUE(d.Attach());
    LoadedDriver::Answer fill = d.Access("t.exe", "read", "C:\\a", kSlotCount - 1);
    EXPECT_NE(std::string::npos, fill.text.find("reports written: 254\nreports dropped: 0\n")) << fill.text;
    EXPECT_EQ(254, d.Ring().writeIndex);

    DWORD t0 = GetTickCount();
    LoadedDriver::Answer a = d.Access("t.exe", "read", "C:\\over");
    DWORD took = GetTickCount() - t0;
    EXPECT_EQ("denied [NoAccess: *.*]\nreport: dropped (ring full)\n", a.text);
    EXPECT_GE(took, 450u);
    EXPECT_LT(took, 2000u);
    EXPECT_EQ("", d.Slot(0));

    d.Consume();
    EXPECT_EQ("denied [NoAccess: *.*]\nreport: written to slot 0\n", d.Access("t.exe", "read", "C:\\z").text);
    EXPECT_EQ("Access denied: t.exe read C:\\z [NoAccess: *.*]", d.Slot(0));
}

TEST_F(DriverTest, DetachEndsAWriteWaitingForRoom) {
    ASSERT_TRUE(d.Rule(RULE_NO_ACCESS, "*.*"));
    ASSERT_TRUE(d.Attach());
    d.Access("t.exe", "read", "C:\\a", kSlotCount - 1);
    LoadedDriver::Answer waiting;
    std::thread asker([&] { waiting = d.Access("t.exe", "read", "C:\\late"); });
    Sleep(100);
    DWORD t0 = GetTickCount();
    EXPECT_TRUE(d.Detach());
    EXPECT_LT(GetTickCount() - t0, 350u);
    asker.join();
    EXPECT_EQ("denied [NoAccess: *.*]\nreport: dropped (no client attached)\n", waiting.text);
    d.Consume();
    Sleep(50);
    EXPECT_EQ(254, d.Ring().writeIndex);
    EXPECT_EQ("", d.Slot(0));
}

TEST_F(DriverTest, WritesUnderTheProgramsMutex) {
    ASSERT_TRUE(d.Rule(RULE_NO_ACCESS, "*.*"));
    ASSERT_TRUE(d.Attach());
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread program([&] {
        HANDLE m = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kMutexName);
        WaitForSingleObject(m, INFINITE);
        SetEvent(held);
        Sleep(300);
        ReleaseMutex(m);
        CloseHandle(m);
    });
    WaitForSingleObject(held, 5000);
    DWORD t0 = GetTickCount();
    LoadedDriver::Answer a = d.Access("t.exe", "read", "C:\\a");
    EXPECT_GE(GetTickCount() - t0, 250u);
    program.join();
    CloseHandle(held);
    EXPECT_EQ("denied [NoAccess: *.*]\nreport: written to slot 1\n", a.text);
}

TEST_F(DriverTest, UnloadEndsThePipeAndFreesTheModule) {
    // A client that connected and said nothing does not hold the unload up.
    HANDLE silent = CreateFileA(kftest::TestPipeName().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, silent);
    DWORD t0 = GetTickCount();
    d.Unload();
    EXPECT_LT(GetTickCount() - t0, 2000u);
    if (silent != INVALID_HANDLE_VALUE) CloseHandle(silent);
    EXPECT_EQ(nullptr, GetModuleHandleA("KFWMONTR.vxd"));
    EXPECT_EQ(kfsim::CallResult::NotLoaded, d.Ask(kfsim::VERB_STATUS, 0, "").result);
}

TEST_F(DriverTest, ReloadStartsAfresh) {
    ASSERT_TRUE(d.Rule(RULE_NO_ACCESS, "*.*"));
    ASSERT_TRUE(d.Control(CTL_SUSPEND, nullptr, 4));
    d.Unload();
    LoadedDriver again;
    ASSERT_TRUE(again.Ok());
    std::string status = again.Status();
    EXPECT_NE(std::string::npos, status.find("state: enforcing\nclient: none\nrules: 0\n")) << status;
}

// Through the program's own loader: "\\.\KFWMONTR.vxd" from the working directory.
TEST(DriverThroughPlatform, OpenControlClose) {
    SetEnvironmentVariableA(kfsim::kPipeNameVariable, kftest::TestPipeName().c_str());
    HANDLE dev = platform::DeviceCreateFile("\\\\.\\KFWMONTR.vxd", 0, 0, nullptr, CREATE_NEW,
                                            FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (dev == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ALREADY_EXISTS)
        GTEST_SKIP() << "another process of this machine has KFWMONTR loaded";
    ASSERT_NE(INVALID_HANDLE_VALUE, dev) << GetLastError();
    unsigned char message[kRuleMessageBytes] = {RULE_NO_ACCESS, 'x', '.', 'e', 'x', 'e'};
    EXPECT_TRUE(platform::DeviceIoControl(dev, CTL_RULE, message, sizeof message, nullptr, 0, nullptr, nullptr));
    message[0] = 0x54;
    EXPECT_FALSE(platform::DeviceIoControl(dev, CTL_RULE, message, sizeof message, nullptr, 0, nullptr, nullptr));
    int32_t code = -1;
    std::string text;
    ASSERT_EQ(kfsim::CallResult::Done,
              kfsim::Call(kftest::TestPipeName(), kfsim::EncodeRequest(kfsim::VERB_ACCESS, 0, std::string("a\0read\0C:\\x.exe\0", 17)),
                          &code, &text, 5000));
    EXPECT_EQ("denied [NoAccess: x.exe]\nreport: dropped (no client attached)\n", text);
    EXPECT_TRUE(platform::DeviceIoControl(dev, CTL_DETACH, nullptr, 4, nullptr, 0, nullptr, nullptr));
    EXPECT_TRUE(platform::DeviceCloseHandle(dev));
    EXPECT_EQ(nullptr, GetModuleHandleA("KFWMONTR.vxd"));
    EXPECT_EQ(kfsim::CallResult::NotLoaded,
              kfsim::Call(kftest::TestPipeName(), kfsim::EncodeRequest(kfsim::VERB_STATUS, 0, ""), &code, &text, 1000));
}

}  // namespace
