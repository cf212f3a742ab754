// Finding, reading and driving the windows of a program as a person would.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>
#include <atomic>
#include <mutex>

namespace kftest {

// Window texts come back as Unicode under Wine, also across processes.
std::string WindowText(HWND w);
std::string ClassName(HWND w);
std::vector<HWND> TopWindowsOf(DWORD pid);
// Polls until pred gives a window or the time is up; null then.
HWND WaitFor(const std::function<HWND()>& pred, DWORD timeoutMs);
HWND WaitForTopWindow(DWORD pid, const std::string& title, DWORD timeoutMs);

struct BoxSeen {
    std::string caption;
    std::string text;
    bool owned;    // has an owner window
    HWND owner;
};

bool IsMessageBox(HWND w);
// The text of a message box (its static text control).
std::string MessageBoxText(HWND box);
// Waits for a message box of the process, reads it and presses its first button.
bool AnswerMessageBox(DWORD pid, DWORD timeoutMs, BoxSeen* seen);

// Watches a process for message boxes, reads each and dismisses it with OK.
class BoxWatcher {
public:
    explicit BoxWatcher(DWORD pid = GetCurrentProcessId());
    ~BoxWatcher();
    std::vector<BoxSeen> Seen();
    // Waits until at least n boxes were seen.
    bool WaitForCount(size_t n, DWORD timeoutMs);

private:
    DWORD m_pid;
    std::atomic<bool> m_stop{false};
    std::mutex m_lock;
    std::vector<BoxSeen> m_seen;
    std::thread m_thread;
};

}  // namespace kftest
