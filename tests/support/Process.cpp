#include "tests/support/Process.h"

#include <vector>

namespace kftest {

std::string BinFolder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

Process::~Process() {
    if (m_pi.hProcess) {
        if (Running()) Kill();
        CloseHandle(m_pi.hProcess);
        CloseHandle(m_pi.hThread);
    }
}

bool Process::Start(const std::string& commandLine, const std::string& workingDir) {
    STARTUPINFOA si = {sizeof si};
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(0);
    return CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          workingDir.empty() ? nullptr : workingDir.c_str(), &si, &m_pi) != 0;
}

int Process::Wait(DWORD timeoutMs) {
    if (!m_pi.hProcess || WaitForSingleObject(m_pi.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(m_pi.hProcess, &code);
    return static_cast<int>(code);
}

bool Process::WaitIdle(DWORD timeoutMs) {
    return m_pi.hProcess && WaitForInputIdle(m_pi.hProcess, timeoutMs) == 0;
}

bool Process::Running() const {
    return m_pi.hProcess && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

void Process::Kill() {
    if (Running()) {
        TerminateProcess(m_pi.hProcess, 99);
        WaitForSingleObject(m_pi.hProcess, 5000);
    }
}

int RunCapture(const std::string& commandLine, std::string* output, DWORD timeoutMs,
               const std::string& workingDir) {
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return -1;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {sizeof si};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi = {};
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(0);
    BOOL ok = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                             workingDir.empty() ? nullptr : workingDir.c_str(), &si, &pi);
    CloseHandle(writeEnd);
    if (!ok) {
        CloseHandle(readEnd);
        return -1;
    }
    std::string out;
    char buf[4096];
    DWORD got;
    while (ReadFile(readEnd, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
    CloseHandle(readEnd);
    int code = -1;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD c;
        GetExitCodeProcess(pi.hProcess, &c);
        code = static_cast<int>(c);
    } else {
        TerminateProcess(pi.hProcess, 99);
    }
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    if (output) *output = out;
    return code;
}

}  // namespace kftest
