// KFWMONTR.vxd loaded into the test process as the program loads it, with a
// ring, event and mutex of the program's kind; and kfwsim run as a process.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "driver/SimProtocol.h"
#include "monitor/DriverContract.h"
#include "tests/support/Process.h"

namespace kftest {

// A pipe name of this process's own, so parallel test programs never meet.
std::string TestPipeName();

class LoadedDriver {
public:
    LoadedDriver();  // loads and calls KfwDriverLoad; check Ok()
    ~LoadedDriver();  // KfwDriverUnload and FreeLibrary, unless Unload() ran
    LoadedDriver(const LoadedDriver&) = delete;
    LoadedDriver& operator=(const LoadedDriver&) = delete;

    bool Ok() const { return ok_; }
    void Unload();

    BOOL Control(DWORD code, const void* in = nullptr, DWORD bytes = 0);
    // The full 513-byte message, as the program sends it.
    BOOL Rule(unsigned char kind, const std::string& text);
    BOOL Attach();
    BOOL Detach() { return Control(kf::CTL_DETACH, nullptr, 4); }

    kf::AccessRing& Ring() { return *ring_; }
    std::string Slot(int i) const;
    void Consume() { ring_->readIndex = ring_->writeIndex; }
    bool Signalled() const { return WaitForSingleObject(event_, 0) == WAIT_OBJECT_0; }

    // One request through the driver's pipe.
    struct Answer {
        kfsim::CallResult result;
        int32_t code;
        std::string text;
    };
    Answer Ask(kfsim::Verb verb, uint32_t count, const std::string& payload) const;
    Answer Access(const std::string& task, const std::string& op, const std::string& path,
                  uint32_t burst = 0) const;
    std::string Status() const { return Ask(kfsim::VERB_STATUS, 0, "").text; }

private:
    HMODULE module_ = nullptr;
    void* control_ = nullptr;
    void* unload_ = nullptr;
    HANDLE mapping_ = nullptr, event_ = nullptr, mutex_ = nullptr;
    kf::AccessRing* ring_ = nullptr;
    bool ok_ = false;
};

// Runs exe from the test program's folder with args quoted as the C
// run-time splits them; waits at most timeoutMs. Output and error stay
// apart (RunCapture joins them); lines end in LF.
ProcessResult RunProgram(const std::string& exe, const std::vector<std::string>& args,
                         DWORD timeoutMs = 60000);

}  // namespace kftest
