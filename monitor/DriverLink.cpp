#include "monitor/DriverLink.h"

#include <cstdio>
#include <cstring>

#include "framework/App.h"
#include "framework/MsgBox.h"
#include "framework/Thread.h"
#include "monitor/AccessReport.h"

namespace kf {

namespace {

void Complain(const char* text) { fw::MessageBox(text, MB_OK | MB_ICONEXCLAMATION); }

}  // namespace

DriverLink::DriverLink() { InitializeCriticalSection(&m_deviceLock); }

DriverLink::~DriverLink() {
    UnloadMonitorDriver();
    DeleteCriticalSection(&m_deviceLock);
}

int DriverLink::LoadMonitorDriver() {
    SetErrorMode(SEM_FAILCRITICALERRORS);

    auto openVxDHandle =
        reinterpret_cast<platform::OpenVxDHandleFn>(platform::KernelExport("OpenVxDHandle"));
    if (!openVxDHandle) {
        Complain("Application Requires Windows 95");
        return 0;
    }
    m_pfnRegisterServiceProcess = reinterpret_cast<platform::RegisterServiceProcessFn>(
        platform::KernelExport("RegisterServiceProcess"));
    if (!m_pfnRegisterServiceProcess) {
        Complain("Application Requires Windows 95 installed. ");
        return 0;
    }

    HANDLE raw = CreateFileA(kRawRecordFile, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                             nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
        char text[256] = "";
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, GetLastError(), 0x400, text,
                       sizeof text, nullptr);
        Complain(text);
        return 0;
    }
    if (m_hRawFile) CloseHandle(m_hRawFile);  // from an earlier load that failed half-way
    m_hRawFile = raw;

    std::snprintf(m_szDevicePath, sizeof m_szDevicePath, "\\\\.\\%s", kDriverName);
    HANDLE dev = platform::DeviceCreateFile(m_szDevicePath, 0, 0, nullptr, 0, 0, nullptr);
    if (dev != INVALID_HANDLE_VALUE) {
        // Kept, so that unload detaches and closes it like any other.
        if (!m_hDevice) m_hDevice = dev; else platform::DeviceCloseHandle(dev);
        Complain("Dynamic loaded VxD is already loaded");
        return 0;
    }
    std::strcat(m_szDevicePath, ".vxd");
    dev = platform::DeviceCreateFile(m_szDevicePath, 0, 0, nullptr, CREATE_NEW,
                                     FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (dev == INVALID_HANDLE_VALUE) {
        Complain("Failed loading dynamic loaded VxD ");
        return 0;
    }
    m_hDevice = dev;

    SetErrorMode(SEM_FAILCRITICALERRORS);
    m_hMapping = platform::CreatePagingMapping(PAGE_READWRITE, kRingBytes);
    if (!m_hMapping) {
        UnloadMonitorDriver();
        return 0;
    }
    m_pViewBase = platform::MapViewLow(m_hMapping, FILE_MAP_WRITE, kRingBytes);
    if (!m_pViewBase) {
        UnloadMonitorDriver();
        return 0;
    }
    m_pRecordsBase = static_cast<char*>(m_pViewBase) + kSlotBytes;

    m_hEvent = CreateEventA(nullptr, FALSE, FALSE, kEventName);
    m_dwRing0Event = openVxDHandle(m_hEvent);
    m_hMutex = CreateMutexA(nullptr, FALSE, kMutexName);
    m_pfnRegisterServiceProcess(0, 1);

    m_hReportWindow = nullptr;
    if (fw::App* app = fw::App::Current()) m_hReportWindow = app->MainWindowHandle();
    m_lStop = 0;
    m_hStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_pThread = fw::BeginThread(&DriverLink::MonitorThreadProc, this);
    return 1;
}

int DriverLink::UnloadMonitorDriver() {
    // The driver first, so it never writes into a ring that is gone.
    if (m_hDevice) {
        EnterCriticalSection(&m_deviceLock);
        platform::DeviceIoControl(m_hDevice, CTL_DETACH, nullptr, 4, nullptr, 0, nullptr, nullptr);
        // Under the same lock: the thread must not attach the client again
        // between the detach and its stop, or a driver whose close fails would
        // write into a ring that is about to be unmapped.
        InterlockedExchange(&m_lStop, 1);
        if (!platform::DeviceCloseHandle(m_hDevice)) {
            LeaveCriticalSection(&m_deviceLock);
            Complain("Failed unloading Dynamic VxD");
        } else {
            m_hDevice = nullptr;
            LeaveCriticalSection(&m_deviceLock);
        }
    }
    if (m_pThread) {
        InterlockedExchange(&m_lStop, 1);
        if (m_hStopEvent) SetEvent(m_hStopEvent);
        if (m_hEvent) SetEvent(m_hEvent);
        if (!m_pThread->Join(kThreadStopMillis)) {
            // Still running: what it may touch stays, and a later call tries again.
            if (m_pfnRegisterServiceProcess) m_pfnRegisterServiceProcess(0, 0);
            return 0;
        }
        delete m_pThread;
        m_pThread = nullptr;
    }
    if (m_hStopEvent) {
        CloseHandle(m_hStopEvent);
        m_hStopEvent = nullptr;
    }
    if (m_pViewBase) {
        UnmapViewOfFile(m_pViewBase);
        m_pViewBase = nullptr;
        m_pRecordsBase = nullptr;
    }
    if (m_hMapping) {
        CloseHandle(m_hMapping);
        m_hMapping = nullptr;
    }
    if (m_hEvent) {
        CloseHandle(m_hEvent);
        m_hEvent = nullptr;
    }
    if (m_hRawFile) {
        FlushFileBuffers(m_hRawFile);
        // Closed too, so that a later load can create the file again.
        CloseHandle(m_hRawFile);
        m_hRawFile = nullptr;
    }
    if (m_hMutex) {
        ReleaseMutex(m_hMutex);
        CloseHandle(m_hMutex);
        m_hMutex = nullptr;
    }
    if (m_pfnRegisterServiceProcess) m_pfnRegisterServiceProcess(0, 0);
    return 0;
}

BOOL DriverLink::SetEnforcement(int suspend) {
    if (!m_hDevice) return FALSE;
    return platform::DeviceIoControl(m_hDevice, suspend ? CTL_SUSPEND : CTL_ENFORCE, nullptr, 4,
                                     nullptr, 0, nullptr, nullptr);
}

BOOL DriverLink::SendRuleMessage(const unsigned char (&message)[kRuleMessageBytes]) {
    if (!m_hDevice) return FALSE;
    return platform::DeviceIoControl(m_hDevice, CTL_RULE, const_cast<unsigned char*>(message),
                                     kRuleMessageBytes, nullptr, 0, nullptr, nullptr);
}

UINT DriverLink::MonitorThreadProc(LPVOID param) {
    static_cast<DriverLink*>(param)->ThreadLoop();
    return 0;
}

void DriverLink::ThreadLoop() {
    AccessRing* ring = Ring();
    SetClientInput client = {m_dwRing0Event,
                             static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(m_pViewBase))};
    for (;;) {
        EnterCriticalSection(&m_deviceLock);
        bool stop = m_lStop != 0;
        if (!stop && m_hDevice)
            platform::DeviceIoControl(m_hDevice, CTL_SET_CLIENT, &client, sizeof client, nullptr,
                                      0, nullptr, nullptr);
        LeaveCriticalSection(&m_deviceLock);
        if (stop) return;

        HANDLE events[2] = {m_hEvent, m_hStopEvent};
        DWORD w = WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (m_lStop) return;
        if (w != WAIT_OBJECT_0) continue;

        // Another process may hold the named mutex: the stop event ends this wait too.
        HANDLE locks[2] = {m_hMutex, m_hStopEvent};
        DWORD m = WaitForMultipleObjects(2, locks, FALSE, INFINITE);
        bool held = m == WAIT_OBJECT_0 || m == WAIT_ABANDONED_0;
        if (m == WAIT_OBJECT_0 + 1) return;
        int wi = ring->writeIndex, ri = ring->readIndex;
        // Indexes out of range would reach past the ring: such a pass reports nothing.
        if (ValidSlot(wi)) {
            if (ValidSlot(ri) && ri != wi) {
                SetFilePointer(m_hRawFile, 0, nullptr, FILE_END);
                if (ri > wi) {
                    ReportSlots(ri + 1, kSlotCount - 1);
                    ReportSlots(0, wi);
                } else {
                    ReportSlots(ri + 1, wi);
                }
            }
            ring->readIndex = wi;
        }
        if (held) ReleaseMutex(m_hMutex);
    }
}

void DriverLink::ReportSlots(int first, int last) {
    for (int i = first; i <= last; ++i) ReportAccess(m_pRecordsBase + kSlotBytes * i);
}

void DriverLink::ReportAccess(char* slot) {
    // A slot filled to the end has no NUL: the text stops at the slot.
    DWORD n = static_cast<DWORD>(strnlen(slot, kSlotBytes)), written = 0;
    WriteFile(m_hRawFile, slot, n, &written, nullptr);
    PostAccessReport(m_hReportWindow, IsLogOnlyReport(slot), slot, kSlotBytes);
    SetForegroundWindow(m_hReportWindow);
    WriteFile(m_hRawFile, "\r\n", 2, &written, nullptr);
}

DriverLink& TheDriverLink() {
    static DriverLink link;
    return link;
}

int LoadMonitorDriver() { return TheDriverLink().LoadMonitorDriver(); }
int UnloadMonitorDriver() { return TheDriverLink().UnloadMonitorDriver(); }
BOOL SetEnforcement(int suspend) { return TheDriverLink().SetEnforcement(suspend); }

}  // namespace kf
