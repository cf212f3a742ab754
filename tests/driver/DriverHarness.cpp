#include "tests/driver/DriverHarness.h"

#include <cstdint>
#include <cstring>

#include "platform/Vxd.h"
#include "tests/support/Process.h"

namespace kftest {

using namespace kf;

std::string TestPipeName() {
    return "\\\\.\\pipe\\KFWMONTR-test-" + std::to_string(GetCurrentProcessId());
}

LoadedDriver::LoadedDriver() {
    // Read by the driver when it loads and inherited by kfwsim.
    SetEnvironmentVariableA(kfsim::kPipeNameVariable, TestPipeName().c_str());
    module_ = LoadLibraryA("KFWMONTR.vxd");
    if (!module_) return;
    auto load = reinterpret_cast<platform::DriverLoadFn>(GetProcAddress(module_, KFW_DRIVER_LOAD));
    unload_ = reinterpret_cast<void*>(GetProcAddress(module_, KFW_DRIVER_UNLOAD));
    control_ = reinterpret_cast<void*>(GetProcAddress(module_, KFW_DRIVER_CONTROL));
    if (!load || !unload_ || !control_ || !load()) return;

    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kRingBytes, nullptr);
    ring_ = static_cast<AccessRing*>(platform::MapViewLow(mapping_, FILE_MAP_WRITE, kRingBytes));
    event_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    mutex_ = CreateMutexA(nullptr, FALSE, kMutexName);
    ok_ = ring_ && event_ && mutex_;
}

LoadedDriver::~LoadedDriver() {
    Unload();
    if (ring_) UnmapViewOfFile(ring_);
    if (mapping_) CloseHandle(mapping_);
    if (event_) CloseHandle(event_);
    if (mutex_) CloseHandle(mutex_);
}

void LoadedDriver::Unload() {
    if (!module_) return;
    if (unload_) reinterpret_cast<platform::DriverUnloadFn>(unload_)();
    FreeLibrary(module_);
    module_ = nullptr;
}

BOOL LoadedDriver::Control(DWORD code, const void* in, DWORD bytes) {
    DWORD returned = 0;
    return reinterpret_cast<platform::DriverControlFn>(control_)(code, const_cast<void*>(in), bytes,
                                                                 nullptr, 0, &returned);
}

BOOL LoadedDriver::Rule(unsigned char kind, const std::string& text) {
    unsigned char message[kRuleMessageBytes] = {};
    message[0] = kind;
    std::memcpy(message + 1, text.c_str(), text.size() < kRuleTextMax ? text.size() : kRuleTextMax);
    return Control(CTL_RULE, message, sizeof message);
}

BOOL LoadedDriver::Attach() {
    SetClientInput in = {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(event_)),
                         static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ring_))};
    return Control(CTL_SET_CLIENT, &in, sizeof in);
}

std::string LoadedDriver::Slot(int i) const {
    return std::string(ring_->slots[i], strnlen(ring_->slots[i], kSlotBytes));
}

LoadedDriver::Answer LoadedDriver::Ask(kfsim::Verb verb, uint32_t count, const std::string& payload) const {
    Answer a = {kfsim::CallResult::Broken, -1, ""};
    a.result = kfsim::Call(TestPipeName(), kfsim::EncodeRequest(verb, count, payload), &a.code, &a.text, 5000);
    return a;
}

LoadedDriver::Answer LoadedDriver::Access(const std::string& task, const std::string& op,
                                          const std::string& path, uint32_t burst) const {
    std::string payload = task + '\0' + op + '\0' + path + '\0';
    return Ask(burst ? kfsim::VERB_BURST : kfsim::VERB_ACCESS, burst, payload);
}

ProcessResult RunProgram(const std::string& exe, const std::vector<std::string>& args, DWORD timeoutMs) {
    std::string cmd = QuoteArg(BinFolder() + exe);
    for (const std::string& a : args) cmd += " " + QuoteArg(a);
    return RunProcess(cmd, timeoutMs, false);
}

}  // namespace kftest
