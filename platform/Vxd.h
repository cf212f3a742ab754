// Dynamic driver loading and the kernel32 exports of Windows 95.
// On Windows 95 every call is the real one. Elsewhere "\\.\NAME.vxd" loads
// the stand-in driver NAME.vxd (a DLL) from the current directory, and the
// missing exports are stood in for.
#pragma once
#include <windows.h>

namespace platform {

typedef DWORD(WINAPI* OpenVxDHandleFn)(HANDLE event);
typedef DWORD(WINAPI* RegisterServiceProcessFn)(DWORD processId, DWORD type);

bool IsWindows95();

HANDLE DeviceCreateFile(LPCSTR name, DWORD access, DWORD share,
                        LPSECURITY_ATTRIBUTES security, DWORD disposition,
                        DWORD flags, HANDLE templateFile);
BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inBytes,
                     LPVOID out, DWORD outBytes, LPDWORD returned,
                     LPOVERLAPPED overlapped);
BOOL DeviceCloseHandle(HANDLE device);

// GetProcAddress(GetModuleHandleA("kernel32"), name), or a stand-in for
// "OpenVxDHandle" / "RegisterServiceProcess" where kernel32 lacks them.
FARPROC KernelExport(const char* name);

// A view of the whole mapping whose address fits in 32 bits; null when no
// such place is free.
void* MapViewLow(HANDLE mapping, DWORD access, SIZE_T bytes);

// Faults that tests switch on to reach every failure path.
enum Fault : unsigned {
    FAULT_NO_OPENVXDHANDLE          = 1u << 0,
    FAULT_NO_REGISTERSERVICEPROCESS = 1u << 1,
    FAULT_NO_MAPPING                = 1u << 2,
    FAULT_NO_LOW_VIEW               = 1u << 3,
    FAULT_DEVICE_CLOSE              = 1u << 4,
};
void SetFaults(unsigned faults);
unsigned Faults();

// Stand-in driver ABI: the exports a stand-in driver DLL provides.
#define KFW_DRIVER_LOAD    "KfwDriverLoad"
#define KFW_DRIVER_UNLOAD  "KfwDriverUnload"
#define KFW_DRIVER_CONTROL "KfwDriverControl"
typedef BOOL(WINAPI* DriverLoadFn)(void);
typedef void(WINAPI* DriverUnloadFn)(void);
typedef BOOL(WINAPI* DriverControlFn)(DWORD code, LPVOID in, DWORD inBytes,
                                       LPVOID out, DWORD outBytes,
                                       LPDWORD returned);

// What the stand-in OpenVxDHandle gives: the event handle's own value, which
// a stand-in driver (living in this process) passes to SetEvent.
inline HANDLE StandInEventFromRing0(DWORD ring0) {
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(ring0));
}

}  // namespace platform

namespace platform {
// CreateFileMappingA on the paging file; FAULT_NO_MAPPING makes it fail.
HANDLE CreatePagingMapping(DWORD protect, DWORD bytes);
}  // namespace platform
