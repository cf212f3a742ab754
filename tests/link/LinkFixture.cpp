#include "tests/link/LinkFixture.h"

#include <fstream>
#include <sstream>

namespace kftest {

ReportSink::ReportSink() {
    const char* cls = RegisterClass("kftest.ReportSink", 0, nullptr, nullptr);
    Create(cls, "report sink", WS_POPUP, 0, 0, 0, 10, 10, nullptr, nullptr);
}

ReportSink::~ReportSink() { DestroyWindow(); }

LRESULT ReportSink::OnAccessReport(WPARAM wParam, LPARAM lParam) {
    auto text = kf::TakeAccessReport(lParam);
    if (!text) {
        ++unknown;
        return 0;
    }
    reports.push_back({wParam == 1, text.get()});
    return 0;
}

bool ReportSink::WaitFor(size_t n, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (reports.size() < n && GetTickCount() - start < timeoutMs) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        Sleep(5);
    }
    return reports.size() >= n;
}

void LinkTest::SetUp() {
    GetCurrentDirectoryA(MAX_PATH, oldDir);
    CreateDirectoryA("C:\\kftest", nullptr);
    CreateDirectoryA(kFolder, nullptr);
    ASSERT_TRUE(CopyFileA((BinFolder() + "KFWMONTR.vxd").c_str(), FolderFile("KFWMONTR.vxd").c_str(), FALSE));
    ASSERT_TRUE(SetCurrentDirectoryA(kFolder));
    sink = new ReportSink;
    app.m_pMainWnd = sink;
}

void LinkTest::TearDown() {
    platform::SetFaults(0);
    link.UnloadMonitorDriver();
    app.m_pMainWnd = nullptr;
    delete sink;
    SetCurrentDirectoryA(oldDir);
}

void LinkTest::MoveToFolderWithoutDriver() {
    // The driver file of kFolder may still be mapped by an earlier load, so it is
    // not deleted; another folder stands in for an installation without it.
    folder = "C:\\kftest\\link-nodriver";
    CreateDirectoryA(folder.c_str(), nullptr);
    DeleteFileA(FolderFile("KFWMONTR.vxd").c_str());
    DeleteFileA(FolderFile("Access.kfw95").c_str());
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
}

int LinkTest::Sim(const std::string& args, std::string* out) { return RunSim(args, out); }

std::string LinkTest::RawRecords() const {
    // Shared for reading, as the link opens it.
    HANDLE f = CreateFileA(FolderFile("Access.kfw95").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return "<missing>";
    std::string s;
    char buf[4096];
    DWORD got;
    while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got) s.append(buf, got);
    CloseHandle(f);
    return s;
}

}  // namespace kftest
