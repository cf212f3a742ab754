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

struct ProcessResult {
    DWORD exitCode = 0xFFFFFFFF;  // also when it could not start or was stopped at the time-out
    std::string out, err;         // lines end in LF
    bool timedOut = false;
};

// Runs a console program to its end, or stops it after timeoutMs. With
// joinOutput, its error output goes into out as well.
ProcessResult RunProcess(const std::string& commandLine, DWORD timeoutMs, bool joinOutput,
                         const std::string& workingDir = "");

// The quoting that CommandLineToArgvW and the C run-time undo.
std::string QuoteArg(const std::string& arg);

// Its standard and error output together, and its exit code (-1 when it did
// not start or did not end in time).
int RunCapture(const std::string& commandLine, std::string* output, DWORD timeoutMs = 20000,
               const std::string& workingDir = "");

// kfwsim.exe with the arguments: its exit code (3 with no driver loaded).
int RunSim(const std::string& args, std::string* output = nullptr);

}  // namespace kftest
