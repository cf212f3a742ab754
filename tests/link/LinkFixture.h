// The real driver link with the real stand-in driver, in a folder of its own,
// and a main window that collects the reports posted to it.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/App.h"
#include "monitor/AccessReport.h"
#include "monitor/DriverLink.h"
#include "tests/support/Process.h"
#include "tests/support/Windows.h"

namespace kftest {

struct Report {
    bool logOnly;
    std::string text;
};

class ReportSink : public fw::Wnd {
public:
    ReportSink();
    ~ReportSink() override;
    FW_BEGIN_MSG_MAP(ReportSink)
        FW_MESSAGE_HANDLER(kf::WM_ACCESS_REPORT, OnAccessReport)
    FW_END_MSG_MAP()
    LRESULT OnAccessReport(WPARAM wParam, LPARAM lParam);
    // Pumps messages until n reports are in or the time is up.
    bool WaitFor(size_t n, DWORD timeoutMs);
    std::vector<Report> reports;
    int unknown = 0;  // messages whose text this process did not post
};

class LinkTest : public testing::Test {
protected:
    static constexpr const char* kFolder = "C:\\kftest\\link";
    void SetUp() override;
    void TearDown() override;
    std::string FolderFile(const char* name) const { return folder + "\\" + name; }
    // Makes an empty folder, without the driver file, the current one.
    void MoveToFolderWithoutDriver();
    // kfwsim with the arguments; its output and exit code.
    int Sim(const std::string& args, std::string* out = nullptr);
    std::string RawRecords() const;

    fw::App app{"Keyfort"};
    ReportSink* sink = nullptr;
    kf::DriverLink link;
    char oldDir[MAX_PATH] = "";
    std::string folder = kFolder;
};

}  // namespace kftest
