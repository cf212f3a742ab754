#include "tests/support/Windows.h"

namespace kftest {

static std::string Narrow(const wchar_t* w) {
    int n = WideCharToMultiByte(CP_ACP, 0, w, -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_ACP, 0, w, -1, &s[0], n, nullptr, nullptr);
    return s;
}

std::string WindowText(HWND w) {
    wchar_t buf[4096] = L"";
    GetWindowTextW(w, buf, 4096);
    return Narrow(buf);
}

std::string ClassName(HWND w) {
    wchar_t buf[256] = L"";
    GetClassNameW(w, buf, 256);
    return Narrow(buf);
}

namespace {

struct TopWindowsCtx {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopWindow(HWND w, LPARAM lp) {
    auto* c = reinterpret_cast<TopWindowsCtx*>(lp);
    DWORD p = 0;
    GetWindowThreadProcessId(w, &p);
    if (p == c->pid) c->found.push_back(w);
    return TRUE;
}

}  // namespace

std::vector<HWND> TopWindowsOf(DWORD pid) {
    TopWindowsCtx ctx{pid, {}};
    EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

HWND WaitFor(const std::function<HWND()>& pred, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND w = pred()) return w;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(20);
    }
}

HWND WaitForTopWindow(DWORD pid, const std::string& title, DWORD timeoutMs) {
    return WaitFor([&]() -> HWND {
        for (HWND w : TopWindowsOf(pid))
            if (WindowText(w) == title) return w;
        return nullptr;
    }, timeoutMs);
}

bool IsMessageBox(HWND w) {
    return ClassName(w) == "#32770" && IsWindowVisible(w) && GetDlgItem(w, 0xFFFF) != nullptr;
}

std::string MessageBoxText(HWND box) { return WindowText(GetDlgItem(box, 0xFFFF)); }

static void Dismiss(HWND box) {
    // The first push button there is: OK in our boxes.
    for (int id : {IDOK, IDCANCEL, IDYES, IDNO, IDABORT, IDRETRY, IDIGNORE}) {
        if (HWND b = GetDlgItem(box, id)) {
            PostMessageW(b, BM_CLICK, 0, 0);
            return;
        }
    }
    PostMessageW(box, WM_CLOSE, 0, 0);
}

static BoxSeen Read(HWND box) {
    BoxSeen s;
    s.caption = WindowText(box);
    s.text = MessageBoxText(box);
    s.owner = GetWindow(box, GW_OWNER);
    s.owned = s.owner != nullptr;
    return s;
}

bool AnswerMessageBox(DWORD pid, DWORD timeoutMs, BoxSeen* seen) {
    HWND box = WaitFor([&]() -> HWND {
        for (HWND w : TopWindowsOf(pid))
            if (IsMessageBox(w)) return w;
        return nullptr;
    }, timeoutMs);
    if (!box) return false;
    if (seen) *seen = Read(box);
    Dismiss(box);
    // Gone before the next one is looked for.
    WaitFor([&]() -> HWND { return IsWindow(box) ? nullptr : box; }, 5000);
    return true;
}

BoxWatcher::BoxWatcher(DWORD pid) : m_pid(pid) {
    m_thread = std::thread([this] {
        std::vector<HWND> handled;
        while (!m_stop) {
            for (HWND w : TopWindowsOf(m_pid)) {
                if (!IsMessageBox(w)) continue;
                bool known = false;
                for (HWND h : handled) known |= (h == w);
                if (known && IsWindow(w)) continue;
                handled.push_back(w);
                BoxSeen s = Read(w);
                {
                    std::lock_guard<std::mutex> g(m_lock);
                    m_seen.push_back(s);
                }
                Dismiss(w);
            }
            Sleep(20);
        }
    });
}

BoxWatcher::~BoxWatcher() {
    m_stop = true;
    m_thread.join();
}

std::vector<BoxSeen> BoxWatcher::Seen() {
    std::lock_guard<std::mutex> g(m_lock);
    return m_seen;
}

bool BoxWatcher::WaitForCount(size_t n, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start <= timeoutMs) {
        if (Seen().size() >= n) return true;
        Sleep(20);
    }
    return Seen().size() >= n;
}

}  // namespace kftest
