#include <fstream>
#include <thread>

#include "tests/link/LinkFixture.h"

using namespace kftest;

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST_F(LinkTest, LoadsTheDriverWithAnEmptyRingAndUnloadsItWhole) {
    std::ofstream(FolderFile("Access.kfw95")) << "left from before\r\n";
    BoxWatcher boxes;
    ASSERT_EQ(link.LoadMonitorDriver(), 1);
    EXPECT_TRUE(link.IsLoaded());
    ASSERT_NE(link.Ring(), nullptr);
    EXPECT_EQ(link.Ring()->writeIndex, 0);
    EXPECT_EQ(link.Ring()->readIndex, 0);
    // The driver takes the view's address as 32 bits.
    EXPECT_LT(reinterpret_cast<ULONG_PTR>(link.Ring()), 0x100000000ull);
    EXPECT_EQ(RawRecords(), "");
    std::string out;
    EXPECT_EQ(Sim("--status", &out), 0) << out;
    EXPECT_NE(out.find("client: attached"), std::string::npos) << out;

    EXPECT_EQ(link.UnloadMonitorDriver(), 0);
    EXPECT_FALSE(link.IsLoaded());
    EXPECT_EQ(link.Ring(), nullptr);
    EXPECT_EQ(Sim("--status", &out), 3) << out;
    // Again, and on a link that never loaded: nothing happens.
    EXPECT_EQ(link.UnloadMonitorDriver(), 0);
    kf::DriverLink never;
    EXPECT_EQ(never.UnloadMonitorDriver(), 0);
    EXPECT_EQ(never.UnloadMonitorDriver(), 0);
    EXPECT_TRUE(boxes.Seen().empty());

    // And it loads again after a full unload.
    ASSERT_EQ(link.LoadMonitorDriver(), 1);
    EXPECT_EQ(Sim("--status", &out), 0) << out;
}

struct LoadFailure {
    const char* name;
    unsigned faults;
    const char* message;   // null: the system's text for the error; "": no message
    bool rawFileMade;      // "Access.kfw95" created before the failure
};

class LoadFailureTest : public LinkTest, public testing::WithParamInterface<LoadFailure> {};

TEST_P(LoadFailureTest, EachFailingStepNamesItsCauseAndReturnsZero) {
    const LoadFailure& c = GetParam();
    DeleteFileA(FolderFile("Access.kfw95").c_str());
    RemoveDirectoryA(FolderFile("Access.kfw95").c_str());
    if (std::string(c.name) == "DriverFileMissing") MoveToFolderWithoutDriver();
    if (std::string(c.name) == "RawRecordFileCannotBeMade") CreateDirectoryA(FolderFile("Access.kfw95").c_str(), nullptr);
    platform::SetFaults(c.faults);
    BoxWatcher boxes;
    EXPECT_EQ(link.LoadMonitorDriver(), 0);
    platform::SetFaults(0);
    if (c.message && !*c.message) {
        Sleep(300);
        EXPECT_TRUE(boxes.Seen().empty());
    } else {
        ASSERT_TRUE(boxes.WaitForCount(1, 5000));
        auto seen = boxes.Seen();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, "Keyfort");
        EXPECT_EQ(seen[0].owner, sink->m_hWnd);
        if (c.message) {
            EXPECT_EQ(seen[0].text, c.message);
        } else {
            EXPECT_FALSE(seen[0].text.empty());
        }
    }
    EXPECT_FALSE(link.HasThread());
    EXPECT_EQ(link.Ring(), nullptr);
    if (std::string(c.name) != "RawRecordFileCannotBeMade") {
        EXPECT_EQ(Exists(FolderFile("Access.kfw95")), c.rawFileMade);
    }
    // What stayed behind goes with the unload; the driver is not left loaded.
    link.UnloadMonitorDriver();
    std::string out;
    EXPECT_EQ(Sim("--status", &out), 3) << out;
    RemoveDirectoryA(FolderFile("Access.kfw95").c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, LoadFailureTest,
    testing::Values(
        LoadFailure{"NoOpenVxDHandle", platform::FAULT_NO_OPENVXDHANDLE, "Application Requires Windows 95", false},
        LoadFailure{"NoRegisterServiceProcess", platform::FAULT_NO_REGISTERSERVICEPROCESS,
                    "Application Requires Windows 95 installed. ", false},
        LoadFailure{"RawRecordFileCannotBeMade", 0, nullptr, false},
        LoadFailure{"DriverFileMissing", 0, "Failed loading dynamic loaded VxD ", true},
        LoadFailure{"NoMapping", platform::FAULT_NO_MAPPING, "", true},
        LoadFailure{"NoViewBelow4GiB", platform::FAULT_NO_LOW_VIEW, "", true}),
    [](const testing::TestParamInfo<LoadFailure>& i) { return std::string(i.param.name); });

TEST_F(LinkTest, DriverAlreadyLoadedElsewhereStopsTheLoadAfterEmptyingTheRawFile) {
    // Loaded through the same platform layer, as another program would.
    HANDLE other = platform::DeviceCreateFile("\\\\.\\KFWMONTR.vxd", 0, 0, nullptr, CREATE_NEW,
                                              FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    std::ofstream(FolderFile("Access.kfw95")) << "old\r\n";
    BoxWatcher boxes;
    EXPECT_EQ(link.LoadMonitorDriver(), 0);
    ASSERT_TRUE(boxes.WaitForCount(1, 5000));
    EXPECT_EQ(boxes.Seen()[0].text, "Dynamic loaded VxD is already loaded");
    EXPECT_EQ(RawRecords(), "");
    // The handle opened by name stays in the link until unload.
    EXPECT_NE(link.DeviceHandle(), nullptr);
    EXPECT_FALSE(link.HasThread());
    link.UnloadMonitorDriver();
    EXPECT_EQ(link.DeviceHandle(), nullptr);
    // Closing a handle opened by name does not unload the driver.
    std::string out;
    EXPECT_EQ(Sim("--status", &out), 0) << out;
    EXPECT_TRUE(platform::DeviceCloseHandle(other));
    EXPECT_EQ(Sim("--status", &out), 3) << out;
    EXPECT_EQ(boxes.Seen().size(), 1u);
}

TEST_F(LinkTest, FailedDeviceCloseIsNamedAndTheRestStillGoes) {
    // Unloaded right after the load, while the new thread is about to attach
    // the client: a few rounds, since that moment is up to the scheduler.
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(link.LoadMonitorDriver(), 1);
        BoxWatcher boxes;
        platform::SetFaults(platform::FAULT_DEVICE_CLOSE);
        link.UnloadMonitorDriver();
        ASSERT_TRUE(boxes.WaitForCount(1, 5000));
        EXPECT_EQ(boxes.Seen()[0].text, "Failed unloading Dynamic VxD");
        EXPECT_NE(link.DeviceHandle(), nullptr);
        EXPECT_FALSE(link.HasThread());
        EXPECT_EQ(link.Ring(), nullptr);
        // Detached before the ring went, and not attached again by the thread.
        std::string out;
        EXPECT_EQ(Sim("--status", &out), 0) << out;
        EXPECT_NE(out.find("client: none"), std::string::npos) << out;
        platform::SetFaults(0);
        link.UnloadMonitorDriver();
        EXPECT_EQ(link.DeviceHandle(), nullptr);
        EXPECT_EQ(Sim("--status", &out), 3) << out;
        EXPECT_EQ(boxes.Seen().size(), 1u);
    }
}

TEST_F(LinkTest, EnforcementSwitchesBetweenSuspendedAndEnforcing) {
    ASSERT_EQ(link.LoadMonitorDriver(), 1);
    unsigned char rule[kf::kRuleMessageBytes] = {kf::RULE_NO_ACCESS};
    strcpy(reinterpret_cast<char*>(rule + 1), "C:\\kftest\\link\\*.txt");
    link.SendRuleMessage(rule);
    std::string out;
    link.SetEnforcement(1);
    EXPECT_EQ(Sim("--status", &out), 0);
    EXPECT_NE(out.find("state: suspended"), std::string::npos) << out;
    EXPECT_EQ(Sim("EDIT write C:\\kftest\\link\\a.txt", &out), 0) << out;
    link.SetEnforcement(0);
    EXPECT_EQ(Sim("--status", &out), 0);
    EXPECT_NE(out.find("state: enforcing"), std::string::npos) << out;
    EXPECT_EQ(Sim("EDIT write C:\\kftest\\link\\a.txt", &out), 1) << out;
}

TEST_F(LinkTest, ReportsReachTheMainWindowAndTheRawFileInOrder) {
    ASSERT_EQ(link.LoadMonitorDriver(), 1);
    unsigned char rule[kf::kRuleMessageBytes] = {kf::RULE_NO_ACCESS};
    strcpy(reinterpret_cast<char*>(rule + 1), "C:\\kftest\\link\\*.txt");
    link.SendRuleMessage(rule);
    rule[0] = kf::RULE_LOG_ONLY;
    strcpy(reinterpret_cast<char*>(rule + 1), "C:\\kftest\\link\\*.log");
    link.SendRuleMessage(rule);
    link.SetEnforcement(0);

    std::string out;
    EXPECT_EQ(Sim("EDIT read C:\\kftest\\link\\a.txt", &out), 1) << out;
    EXPECT_EQ(Sim("EDIT write C:\\kftest\\link\\b.log", &out), 0) << out;
    ASSERT_TRUE(sink->WaitFor(2, 5000));
    EXPECT_FALSE(sink->reports[0].logOnly);
    EXPECT_EQ(sink->reports[0].text, "Access denied: EDIT read C:\\kftest\\link\\a.txt [NoAccess: C:\\kftest\\link\\*.txt]");
    EXPECT_TRUE(sink->reports[1].logOnly);
    EXPECT_EQ(sink->reports[1].text, "Log: FYI EDIT write C:\\kftest\\link\\b.log [JustInfo: C:\\kftest\\link\\*.log]");
    EXPECT_EQ(RawRecords(), sink->reports[0].text + "\r\n" + sink->reports[1].text + "\r\n");
    EXPECT_EQ(link.Ring()->readIndex, link.Ring()->writeIndex);
}

TEST_F(LinkTest, HostileReportFillingItsSlotIsTakenUpToTheSlotEnd) {
    ASSERT_EQ(link.LoadMonitorDriver(), 1);
    std::string full(512, 'x');
    std::string out;
    EXPECT_EQ(Sim("--report " + full, &out), 0) << out;
    EXPECT_EQ(Sim("--report next", &out), 0) << out;
    ASSERT_TRUE(sink->WaitFor(2, 5000));
    EXPECT_EQ(sink->reports[0].text, full);
    EXPECT_EQ(sink->reports[1].text, "next");
    EXPECT_EQ(RawRecords(), full + "\r\nnext\r\n");
    // "FYI" decides log-only at positions 2 to 13 only.
    for (int pos : {0, 1, 2, 13, 14}) {
        std::string text = std::string(pos, '-') + "FYI" + std::string(20, '-');
        EXPECT_EQ(Sim("--report " + text, &out), 0) << out;
        ASSERT_TRUE(sink->WaitFor(sink->reports.size() + 1, 5000));
        EXPECT_EQ(sink->reports.back().logOnly, pos >= 2 && pos <= 13) << pos;
    }
}

TEST_F(LinkTest, EveryReportOfAWrappingBurstArrivesOnce) {
    ASSERT_EQ(link.LoadMonitorDriver(), 1);
    unsigned char rule[kf::kRuleMessageBytes] = {kf::RULE_LOG_ONLY};
    strcpy(reinterpret_cast<char*>(rule + 1), "C:\\kftest\\link\\*.*");
    link.SendRuleMessage(rule);
    link.SetEnforcement(0);
    std::string out;
    // More than the ring holds: the thread must keep up or the driver waits.
    std::thread pump([&] { Sim("--burst 600 EDIT read C:\\kftest\\link\\x.dat", &out); });
    bool all = sink->WaitFor(600, 30000);
    pump.join();
    EXPECT_TRUE(all) << sink->reports.size() << "\n" << out;
    EXPECT_NE(out.find("reports dropped: 0"), std::string::npos) << out;
    EXPECT_EQ(sink->unknown, 0);
    for (const Report& r : sink->reports) EXPECT_TRUE(r.logOnly);
    EXPECT_EQ(link.Ring()->readIndex, link.Ring()->writeIndex);
}

TEST_F(LinkTest, UnloadEndsTheThreadWhileAnotherProgramHoldsTheMutex) {
    ASSERT_EQ(link.LoadMonitorDriver(), 1);
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, nullptr), release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread other([&] {
        HANDLE m = OpenMutexA(SYNCHRONIZE, FALSE, kf::kMutexName);
        WaitForSingleObject(m, INFINITE);
        SetEvent(held);
        WaitForSingleObject(release, 20000);
        ReleaseMutex(m);
        CloseHandle(m);
    });
    WaitForSingleObject(held, 5000);
    // The thread wakes and waits for the mutex.
    HANDLE ev = OpenEventA(EVENT_MODIFY_STATE, FALSE, kf::kEventName);
    ASSERT_TRUE(ev);
    SetEvent(ev);
    CloseHandle(ev);
    Sleep(200);
    DWORD start = GetTickCount();
    link.UnloadMonitorDriver();
    DWORD took = GetTickCount() - start;
    SetEvent(release);
    other.join();
    EXPECT_FALSE(link.HasThread());
    EXPECT_EQ(link.Ring(), nullptr);
    EXPECT_LT(took, kf::DriverLink::kThreadStopMillis);
    CloseHandle(held);
    CloseHandle(release);
}

TEST_F(LinkTest, ForeignAccessReportMessagesAreNotTaken) {
    // Only texts this process posted are handed out, once.
    EXPECT_EQ(kf::TakeAccessReport(reinterpret_cast<LPARAM>("not ours")), nullptr);
    EXPECT_EQ(kf::TakeAccessReport(0), nullptr);
    ASSERT_TRUE(kf::PostAccessReport(sink->m_hWnd, false, "Wrong Password "));
    ASSERT_TRUE(sink->WaitFor(1, 2000));
    EXPECT_EQ(sink->reports[0].text, "Wrong Password ");
    PostMessageA(sink->m_hWnd, kf::WM_ACCESS_REPORT, 0, 12345);
    MSG m;
    Sleep(50);
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    EXPECT_EQ(sink->unknown, 1);
    EXPECT_EQ(sink->reports.size(), 1u);
}

}  // namespace
