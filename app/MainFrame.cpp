#include "app/MainFrame.h"

#include "app/Kfw95App.h"
#include "monitor/DriverLink.h"
#include "store/StoreLayout.h"

namespace kf {

CMainFrame::~CMainFrame() { UnloadMonitorDriver(); }

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTA& cs) {
    cs.dwExStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST;
    return fw::FrameWnd::PreCreateWindow(cs);
}

LRESULT CMainFrame::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_QUERYENDSESSION && wParam != 0) return 0;
    return fw::FrameWnd::WindowProc(msg, wParam, lParam);
}

LRESULT CMainFrame::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_QUERYENDSESSION && wParam != 0) return 0;
    return fw::FrameWnd::DefWindowProc(msg, wParam, lParam);
}

// Neither the system menu, Alt+F4 nor another program's WM_CLOSE ends it.
LRESULT CMainFrame::OnClose(WPARAM, LPARAM) { return 0; }

LRESULT CMainFrame::OnDestroy(WPARAM, LPARAM) {
    UnloadMonitorDriver();
    return 0;
}

LRESULT CMainFrame::OnQueryEndSessionMsg(WPARAM, LPARAM) {
    if (!fw::FrameWnd::OnQueryEndSession()) return FALSE;
    UnloadMonitorDriver();
    return TRUE;
}

LRESULT CMainFrame::OnCheckOut(WPARAM wParam, LPARAM lParam) {
    if (wParam != 23 || lParam != 42) return 0;
    CKfw95App& app = TheApp();
    app.m_strActiveUser = kDefaultKey;
    SendRulesToDriver();
    SetEnforcement(0);
    NotifyPeerWindows();
    return 19;
}

void CMainFrame::NotifyPeerWindows() {
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        char cls[80] = "";
        GetClassNameA(w, cls, sizeof cls);
        if (lstrcmpiA(cls, "TGX_Frame") == 0) SendMessageA(w, WM_PEER_NOTIFY, 1, 0);
    }
}

}  // namespace kf
