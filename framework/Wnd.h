// Windows with flat message maps: one function tests the message and id in a
// list and calls a member handler.
#pragma once
#include <windows.h>

namespace fw {

class Wnd {
public:
    HWND m_hWnd = nullptr;

    Wnd() = default;
    Wnd(const Wnd&) = delete;
    Wnd& operator=(const Wnd&) = delete;
    virtual ~Wnd() = default;

    // The message map; true when a handler took the message.
    virtual BOOL ProcessWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                      LRESULT& result) {
        return FALSE;
    }
    // Everything a window receives goes through here first.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Called after WM_NCDESTROY, when the window handle is gone.
    virtual void PostNcDestroy() {}

    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    BOOL DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }
    BOOL IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
    void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
    static Wnd* FromHandle(HWND hWnd);

protected:
    // Registers a class whose procedure forwards to the object in lpCreateParams.
    static const char* RegisterClass(const char* name, UINT style, HICON icon, HBRUSH background);
    static LRESULT CALLBACK StaticWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    BOOL Create(const char* className, const char* title, DWORD style, DWORD exStyle, int x, int y,
                int cx, int cy, HWND parent, HMENU menu);
};

}  // namespace fw

// Message map macros: a flat list inside one member function.
#define FW_BEGIN_MSG_MAP(thisClass)                                                     \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,       \
                              LRESULT& lResult) override {                              \
        (void)hWnd; (void)wParam; (void)lParam; (void)lResult;

// LRESULT Handler(WPARAM, LPARAM)
#define FW_MESSAGE_HANDLER(msg, func)             \
    if (uMsg == (msg)) {                          \
        lResult = func(wParam, lParam);           \
        return TRUE;                              \
    }

// void Handler()
#define FW_COMMAND_ID_HANDLER(id, func)                           \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id)) {           \
        func();                                                   \
        lResult = 0;                                              \
        return TRUE;                                              \
    }

#define FW_CHAIN_MSG_MAP(baseClass)                                                   \
    if (baseClass::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;

#define FW_END_MSG_MAP() \
    return FALSE;        \
    }
