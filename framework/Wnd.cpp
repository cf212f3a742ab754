#include "framework/Wnd.h"

namespace fw {

static const char* kObjectProp = "fw.Wnd";

Wnd* Wnd::FromHandle(HWND hWnd) { return static_cast<Wnd*>(GetPropA(hWnd, kObjectProp)); }

LRESULT Wnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (ProcessWindowMessage(m_hWnd, msg, wParam, lParam, result)) return result;
    return DefWindowProc(msg, wParam, lParam);
}

LRESULT Wnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

const char* Wnd::RegisterClass(const char* name, UINT style, HICON icon, HBRUSH background) {
    WNDCLASSA wc = {};
    if (GetClassInfoA(GetModuleHandleA(nullptr), name, &wc)) return name;
    wc.style = style;
    wc.lpfnWndProc = &Wnd::StaticWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hIcon = icon;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    ::RegisterClassA(&wc);
    return name;
}

BOOL Wnd::Create(const char* className, const char* title, DWORD style, DWORD exStyle, int x,
                 int y, int cx, int cy, HWND parent, HMENU menu) {
    HWND h = CreateWindowExA(exStyle, className, title, style, x, y, cx, cy, parent, menu,
                             GetModuleHandleA(nullptr), this);
    return h != nullptr;
}

LRESULT CALLBACK Wnd::StaticWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Wnd* self = FromHandle(hWnd);
    if (!self && msg == WM_NCCREATE) {
        self = static_cast<Wnd*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->m_hWnd = hWnd;
        SetPropA(hWnd, kObjectProp, self);
    }
    if (!self) return ::DefWindowProcA(hWnd, msg, wParam, lParam);
    LRESULT result = 0;
    try {
        result = self->WindowProc(msg, wParam, lParam);
    } catch (...) {
        // Exceptions stop here; they never cross into the system.
        result = 0;
    }
    if (msg == WM_NCDESTROY) {
        RemovePropA(hWnd, kObjectProp);
        self->m_hWnd = nullptr;
        self->PostNcDestroy();
    }
    return result;
}

}  // namespace fw
