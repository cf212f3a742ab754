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

namespace {

HANDLE InheritableTempFile(std::string* path) {
    char dir[MAX_PATH], name[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    GetTempFileNameA(dir, "kfp", 0, name);
    *path = name;
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

// The run-time writes text lines with CRLF; callers see LF.
std::string ReadLines(HANDLE f) {
    std::string text;
    SetFilePointer(f, 0, nullptr, FILE_BEGIN);
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(f, buf, sizeof buf, &n, nullptr) && n) text.append(buf, n);
    std::string lines;
    for (std::size_t k = 0; k < text.size(); ++k)
        if (!(text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n')) lines += text[k];
    return lines;
}

}  // namespace

// Files rather than pipes: a program that hangs, or a child that inherits the
// handles, cannot keep the caller waiting past the time-out.
ProcessResult RunProcess(const std::string& commandLine, DWORD timeoutMs, bool joinOutput,
                         const std::string& workingDir) {
    ProcessResult r;
    std::string outPath, errPath;
    HANDLE out = InheritableTempFile(&outPath);
    HANDLE err = joinOutput ? out : InheritableTempFile(&errPath);
    STARTUPINFOA si = {sizeof si};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi = {};
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(0);
    if (CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       workingDir.empty() ? nullptr : workingDir.c_str(), &si, &pi)) {
        if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) {
            r.timedOut = true;
            TerminateProcess(pi.hProcess, 0xFFFFFFFF);
            WaitForSingleObject(pi.hProcess, 5000);
        } else {
            GetExitCodeProcess(pi.hProcess, &r.exitCode);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    r.out = ReadLines(out);
    CloseHandle(out);
    if (!joinOutput) {
        r.err = ReadLines(err);
        CloseHandle(err);
    }
    return r;
}

std::string QuoteArg(const std::string& arg) {
    std::string q = "\"";
    std::size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        q.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        slashes = 0;
        q += c;
    }
    q.append(slashes * 2, '\\');
    return q + "\"";
}

int RunCapture(const std::string& commandLine, std::string* output, DWORD timeoutMs,
               const std::string& workingDir) {
    ProcessResult r = RunProcess(commandLine, timeoutMs, true, workingDir);
    if (output) *output = r.out;
    return r.timedOut ? -1 : static_cast<int>(r.exitCode);
}

int RunSim(const std::string& args, std::string* output) {
    std::string o;
    int rc = RunCapture("\"" + BinFolder() + "kfwsim.exe\" " + args, &o);
    if (output) *output = o;
    return rc;
}

}  // namespace kftest
