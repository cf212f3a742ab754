#include "platform/Vxd.h"

#include <cstring>
#include <set>
#include <string>

namespace platform {
namespace {

unsigned g_faults = 0;

// A handle on a stand-in driver. The "loaded" marker is a named mutex, so
// that "\\.\NAME" opens wherever any process of the machine has NAME loaded.
struct StandInDevice {
    std::string name;
    HMODULE module = nullptr;   // set on the handle that loaded the driver
    HANDLE marker = nullptr;
    DriverUnloadFn unload = nullptr;
    DriverControlFn control = nullptr;
};

CRITICAL_SECTION* Lock() {
    static CRITICAL_SECTION cs;
    static bool init = (InitializeCriticalSection(&cs), true);
    (void)init;
    return &cs;
}

std::set<StandInDevice*>& Devices() {
    static std::set<StandInDevice*> devices;
    return devices;
}

StandInDevice* Find(HANDLE h) {
    EnterCriticalSection(Lock());
    auto& d = Devices();
    StandInDevice* found = d.count(static_cast<StandInDevice*>(h)) ? static_cast<StandInDevice*>(h) : nullptr;
    LeaveCriticalSection(Lock());
    return found;
}

HANDLE Register(StandInDevice* dev) {
    EnterCriticalSection(Lock());
    Devices().insert(dev);
    LeaveCriticalSection(Lock());
    return static_cast<HANDLE>(dev);
}

std::string MarkerName(const std::string& driver) { return "KfwVxdLoaded:" + driver; }

// The loaded driver of this process, if any: control codes on a handle
// opened by name reach it, as every handle reaches the one VxD.
StandInDevice* LoadedHere(const std::string& name) {
    StandInDevice* found = nullptr;
    EnterCriticalSection(Lock());
    for (StandInDevice* d : Devices())
        if (d->module && _stricmp(d->name.c_str(), name.c_str()) == 0) found = d;
    LeaveCriticalSection(Lock());
    return found;
}

HANDLE OpenStandIn(const char* path, DWORD disposition) {
    std::string name(path + 4);  // after "\\.\"
    bool load = false;
    if (name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".vxd") == 0) {
        load = true;
        name.resize(name.size() - 4);
    }
    for (auto& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));

    HANDLE existing = OpenMutexA(SYNCHRONIZE, FALSE, MarkerName(name).c_str());
    if (!load) {
        if (!existing) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        CloseHandle(existing);
        auto* dev = new StandInDevice;
        dev->name = name;
        return Register(dev);
    }
    if (existing) {  // one instance of a driver per machine
        CloseHandle(existing);
        SetLastError(ERROR_ALREADY_EXISTS);
        return INVALID_HANDLE_VALUE;
    }
    if (disposition != CREATE_NEW) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // The file of the current folder and no other: a module of that name loaded
    // from elsewhere, or one found along the search path, is not this driver.
    char dir[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(MAX_PATH, dir);
    if (n == 0 || n >= MAX_PATH) return INVALID_HANDLE_VALUE;
    std::string file = dir;
    if (file.back() != '\\') file += '\\';
    file += path + 4;
    if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    HMODULE module = LoadLibraryExA(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) return INVALID_HANDLE_VALUE;
    auto loadFn = reinterpret_cast<DriverLoadFn>(GetProcAddress(module, KFW_DRIVER_LOAD));
    auto unloadFn = reinterpret_cast<DriverUnloadFn>(GetProcAddress(module, KFW_DRIVER_UNLOAD));
    auto controlFn = reinterpret_cast<DriverControlFn>(GetProcAddress(module, KFW_DRIVER_CONTROL));
    if (!loadFn || !unloadFn || !controlFn || !loadFn()) {
        FreeLibrary(module);
        SetLastError(ERROR_BAD_DRIVER);
        return INVALID_HANDLE_VALUE;
    }
    auto* dev = new StandInDevice;
    dev->name = name;
    dev->module = module;
    dev->unload = unloadFn;
    dev->control = controlFn;
    dev->marker = CreateMutexA(nullptr, FALSE, MarkerName(name).c_str());
    return Register(dev);
}

DWORD WINAPI StandInOpenVxDHandle(HANDLE event) {
    return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(event));
}

DWORD WINAPI StandInRegisterServiceProcess(DWORD, DWORD) { return 1; }

}  // namespace

bool IsWindows95() {
    DWORD v = GetVersion();
    return (v & 0x80000000u) != 0 && LOBYTE(LOWORD(v)) == 4;
}

void SetFaults(unsigned faults) { g_faults = faults; }
unsigned Faults() { return g_faults; }

HANDLE DeviceCreateFile(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                        DWORD disposition, DWORD flags, HANDLE templateFile) {
    if (IsWindows95() || strncmp(name, "\\\\.\\", 4) != 0)
        return CreateFileA(name, access, share, security, disposition, flags, templateFile);
    return OpenStandIn(name, disposition);
}

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inBytes, LPVOID out,
                     DWORD outBytes, LPDWORD returned, LPOVERLAPPED overlapped) {
    StandInDevice* dev = Find(device);
    if (!dev)
        return ::DeviceIoControl(device, code, in, inBytes, out, outBytes, returned, overlapped);
    StandInDevice* target = dev->module ? dev : LoadedHere(dev->name);
    if (!target) {  // loaded by another process: not reachable from here
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    DWORD dummy = 0;
    return target->control(code, in, inBytes, out, outBytes, returned ? returned : &dummy);
}

BOOL DeviceCloseHandle(HANDLE device) {
    StandInDevice* dev = Find(device);
    if (!dev) return ::CloseHandle(device);
    if (g_faults & FAULT_DEVICE_CLOSE) {
        SetLastError(ERROR_BUSY);
        return FALSE;
    }
    EnterCriticalSection(Lock());
    Devices().erase(dev);
    LeaveCriticalSection(Lock());
    if (dev->module) {
        dev->unload();
        FreeLibrary(dev->module);
        if (dev->marker) CloseHandle(dev->marker);
    }
    delete dev;
    return TRUE;
}

FARPROC KernelExport(const char* name) {
    if ((g_faults & FAULT_NO_OPENVXDHANDLE) && strcmp(name, "OpenVxDHandle") == 0) return nullptr;
    if ((g_faults & FAULT_NO_REGISTERSERVICEPROCESS) && strcmp(name, "RegisterServiceProcess") == 0)
        return nullptr;
    FARPROC p = GetProcAddress(GetModuleHandleA("kernel32"), name);
    if (p || IsWindows95()) return p;
    if (strcmp(name, "OpenVxDHandle") == 0) return reinterpret_cast<FARPROC>(&StandInOpenVxDHandle);
    if (strcmp(name, "RegisterServiceProcess") == 0)
        return reinterpret_cast<FARPROC>(&StandInRegisterServiceProcess);
    return nullptr;
}

void* MapViewLow(HANDLE mapping, DWORD access, SIZE_T bytes) {
    if (g_faults & FAULT_NO_LOW_VIEW) return nullptr;
#ifdef _WIN64
    // The driver takes the view's address as 32 bits: find a free place below 4 GiB.
    const ULONG_PTR granularity = 0x10000, limit = 0x100000000ull;
    for (ULONG_PTR at = 0x10000000; at + bytes <= limit;) {
        MEMORY_BASIC_INFORMATION mbi;
        if (!VirtualQuery(reinterpret_cast<void*>(at), &mbi, sizeof mbi)) break;
        ULONG_PTR regionEnd = reinterpret_cast<ULONG_PTR>(mbi.BaseAddress) + mbi.RegionSize;
        if (mbi.State == MEM_FREE && regionEnd - at >= bytes) {
            if (void* v = MapViewOfFileEx(mapping, access, 0, 0, bytes, reinterpret_cast<void*>(at)))
                return v;
            at += granularity;
            continue;
        }
        at = (regionEnd + granularity - 1) & ~(granularity - 1);
    }
    return nullptr;
#else
    return MapViewOfFile(mapping, access, 0, 0, bytes);
#endif
}

}  // namespace platform

namespace platform {
HANDLE CreatePagingMapping(DWORD protect, DWORD bytes) {
    if (g_faults & FAULT_NO_MAPPING) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, protect, 0, bytes, nullptr);
}
}  // namespace platform
