// The program's only top-level window: the address of everything that
// happens to the resident program.
#pragma once
#include "framework/DocView.h"

namespace kf {

constexpr UINT WM_CHECKOUT = WM_USER + 28;         // 1052
constexpr UINT WM_CHECKIN_REQUEST = WM_USER + 38;  // 1062
constexpr UINT WM_PEER_NOTIFY = 0x0606;
constexpr UINT IDT_SECURE_TIMEOUT = 123;

class CMainFrame : public fw::FrameWnd {
public:
    ~CMainFrame() override;
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    static void NotifyPeerWindows();

    FW_BEGIN_MSG_MAP(CMainFrame)
        FW_MESSAGE_HANDLER(WM_CLOSE, OnClose)
        FW_MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        FW_MESSAGE_HANDLER(WM_QUERYENDSESSION, OnQueryEndSessionMsg)
        FW_MESSAGE_HANDLER(WM_CHECKOUT, OnCheckOut)
    FW_END_MSG_MAP()

    LRESULT OnClose(WPARAM, LPARAM);
    LRESULT OnDestroy(WPARAM, LPARAM);
    LRESULT OnQueryEndSessionMsg(WPARAM, LPARAM);
    LRESULT OnCheckOut(WPARAM wParam, LPARAM lParam);
};

}  // namespace kf
