#include "monitor/AccessReport.h"

#include <cstring>
#include <set>

#include "monitor/DriverContract.h"

namespace kf {

namespace {
CRITICAL_SECTION* Lock() {
    static CRITICAL_SECTION cs;
    static bool init = (InitializeCriticalSection(&cs), true);
    (void)init;
    return &cs;
}
std::set<char*>& Outstanding() {
    static std::set<char*> texts;
    return texts;
}
}  // namespace

bool IsLogOnlyReport(const char* slotText) {
    for (int i = 2; i <= 13; ++i)
        if (slotText[i] == 'F' && slotText[i + 1] == 'Y' && slotText[i + 2] == 'I') return true;
    return false;
}

BOOL PostAccessReport(HWND window, bool logOnly, const char* text, size_t maxBytes) {
    size_t n = strnlen(text, maxBytes);
    char* copy = new char[n + 1];
    memcpy(copy, text, n);
    copy[n] = 0;
    EnterCriticalSection(Lock());
    Outstanding().insert(copy);
    LeaveCriticalSection(Lock());
    if (PostMessageA(window, WM_ACCESS_REPORT, logOnly ? 1 : 0, reinterpret_cast<LPARAM>(copy)))
        return TRUE;
    TakeAccessReport(reinterpret_cast<LPARAM>(copy));  // frees it
    return FALSE;
}

std::unique_ptr<char[]> TakeAccessReport(LPARAM lParam) {
    char* p = reinterpret_cast<char*>(lParam);
    EnterCriticalSection(Lock());
    bool known = Outstanding().erase(p) != 0;
    LeaveCriticalSection(Lock());
    return std::unique_ptr<char[]>(known ? p : nullptr);
}

}  // namespace kf
