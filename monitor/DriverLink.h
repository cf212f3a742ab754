// The link to the monitoring driver: the driver handle, the shared ring, the
// event, the mutex, the raw record file and the monitor thread.
#pragma once
#include <windows.h>

#include "monitor/DriverContract.h"
#include "platform/Vxd.h"

namespace fw { class WorkerThread; }

namespace kf {

class DriverLink {
public:
    DriverLink();
    ~DriverLink();
    DriverLink(const DriverLink&) = delete;
    DriverLink& operator=(const DriverLink&) = delete;

    // 1 when the driver is loaded, every object exists and the thread runs.
    int LoadMonitorDriver();
    // Always 0; every step tests its own handle, so it may run on a partly
    // loaded link and more than once.
    int UnloadMonitorDriver();
    // Non-zero suspends the rules, zero enforces them.
    BOOL SetEnforcement(int suspend);
    // One CTL_RULE with the full 513-byte message.
    BOOL SendRuleMessage(const unsigned char (&message)[kRuleMessageBytes]);

    // The monitor thread's procedure; param is the link.
    static UINT MonitorThreadProc(LPVOID param);

    // What tests look at.
    bool IsLoaded() const { return m_hDevice != nullptr && m_pThread != nullptr; }
    HANDLE DeviceHandle() const { return m_hDevice; }
    AccessRing* Ring() const { return static_cast<AccessRing*>(m_pViewBase); }
    bool HasThread() const { return m_pThread != nullptr; }
    bool HasServiceEntry() const { return m_pfnRegisterServiceProcess != nullptr; }
    // How long unload waits for the monitor thread to end.
    static constexpr DWORD kThreadStopMillis = 5000;

private:
    void ReportAccess(char* slot);
    void ReportSlots(int first, int last);
    void ThreadLoop();

    HANDLE m_hDevice = nullptr;
    HWND m_hReportWindow = nullptr;  // the main window when the link was loaded
    HANDLE m_hEvent = nullptr;
    DWORD m_dwRing0Event = 0;
    HANDLE m_hMapping = nullptr;
    void* m_pViewBase = nullptr;
    char* m_pRecordsBase = nullptr;
    HANDLE m_hRawFile = nullptr;
    HANDLE m_hMutex = nullptr;
    fw::WorkerThread* m_pThread = nullptr;
    platform::RegisterServiceProcessFn m_pfnRegisterServiceProcess = nullptr;
    char m_szDevicePath[32] = {};

    // Stopping the thread instead of killing it, so that no lock of the
    // run-time is left held.
    HANDLE m_hStopEvent = nullptr;
    volatile LONG m_lStop = 0;
    CRITICAL_SECTION m_deviceLock;  // the device handle between the threads
};

// The process-wide link.
DriverLink& TheDriverLink();
int LoadMonitorDriver();
int UnloadMonitorDriver();
BOOL SetEnforcement(int suspend);

}  // namespace kf
