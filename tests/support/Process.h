// Real processes of the programs under test.
#pragma once
#include <windows.h>

#include <string>

namespace kftest {

// The folder of the running test program (where the built programs are).
std::string BinFolder();

class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Start(const std::string& commandLine, const std::string& workingDir = "");
    // Exit code, or -1 when it has not ended within the time.
    int Wait(DWORD timeoutMs);
    // Until the program waits in its message loop with nothing to do.
    bool WaitIdle(DWORD timeoutMs);
    void Kill();
    DWORD Pid() const { return m_pi.dwProcessId; }
    bool Running() const;

private:
    PROCESS_INFORMATION m_pi = {};
};

// Runs a console program to its end; its standard output and exit code.
int RunCapture(const std::string& commandLine, std::string* output, DWORD timeoutMs = 20000,
               const std::string& workingDir = "");

}  // namespace kftest
