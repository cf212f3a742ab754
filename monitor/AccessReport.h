// Reports cross to the main frame as posted copies that the handler takes,
// so a text stays valid after its ring slot is reused or unmapped.
#pragma once
#include <windows.h>

#include <memory>

namespace kf {

constexpr UINT WM_ACCESS_REPORT = WM_USER + 100;  // 1124

// Posts WM_ACCESS_REPORT with a copy of at most 512 bytes of text.
BOOL PostAccessReport(HWND window, bool logOnly, const char* text, size_t maxBytes = 512);
// The copy behind lParam, or null for an lParam this process did not post.
std::unique_ptr<char[]> TakeAccessReport(LPARAM lParam);

}  // namespace kf
