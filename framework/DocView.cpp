#include "framework/DocView.h"

#include "framework/App.h"

namespace fw {

BOOL View::CreateView(HWND parent, Document* doc) {
    m_document = doc;
    CREATESTRUCTA cs = {};
    cs.style = WS_CHILD | WS_VISIBLE;
    cs.dwExStyle = WS_EX_CLIENTEDGE;
    if (!PreCreateWindow(cs)) return FALSE;
    const char* cls = RegisterClass("fw.View", CS_HREDRAW | CS_VREDRAW, nullptr,
                                    reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    RECT rc;
    GetClientRect(parent, &rc);
    return Create(cls, "", cs.style, cs.dwExStyle, 0, 0, rc.right, rc.bottom, parent,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(0xE900)));
}

LRESULT View::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(m_hWnd, &ps);
        OnDraw(dc);
        EndPaint(m_hWnd, &ps);
        return 0;
    }
    return Wnd::WindowProc(msg, wParam, lParam);
}

BOOL FrameWnd::LoadFrame(UINT resourceId, Document* doc, View* view) {
    m_document = doc;
    m_view = view;
    HINSTANCE inst = GetModuleHandleA(nullptr);
    char text[256] = "";
    LoadStringA(inst, resourceId, text, sizeof text);
    if (char* nl = strchr(text, '\n')) *nl = 0;
    CREATESTRUCTA cs = {};
    cs.style = WS_OVERLAPPEDWINDOW;
    cs.x = cs.y = cs.cx = cs.cy = CW_USEDEFAULT;
    if (!PreCreateWindow(cs)) return FALSE;
    const char* cls = RegisterClass("fw.Frame", 0, LoadIconA(inst, MAKEINTRESOURCEA(resourceId)),
                                    reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    if (!Create(cls, text, cs.style, cs.dwExStyle, cs.x, cs.y, cs.cx, cs.cy, nullptr, nullptr))
        return FALSE;
    return view->CreateView(m_hWnd, doc);
}

BOOL FrameWnd::OnQueryEndSession() {
    // The only document is never modified, so there is nothing to save.
    return !(m_document && m_document->IsModified());
}

LRESULT FrameWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (ProcessWindowMessage(m_hWnd, msg, wParam, lParam, result)) return result;
    switch (msg) {
    case WM_SIZE:
        if (m_view && m_view->m_hWnd)
            MoveWindow(m_view->m_hWnd, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_QUERYENDSESSION:
        return OnQueryEndSession();
    case WM_NCDESTROY: {
        App* app = App::Current();
        if (app && app->m_pMainWnd == this) {
            app->m_pMainWnd = nullptr;
            PostQuitMessage(0);
        }
        break;
    }
    }
    return DefWindowProc(msg, wParam, lParam);
}

DocTemplate::~DocTemplate() { delete m_document; }

BOOL DocTemplate::OpenNewDocument(int cmdShow) {
    Document* doc = NewDocument();
    if (!doc->OnNewDocument()) {
        delete doc;
        return FALSE;
    }
    m_document = doc;
    FrameWnd* frame = NewFrame();
    View* view = NewView();
    if (!frame->LoadFrame(m_resourceId, doc, view)) {
        if (frame->m_hWnd) frame->DestroyWindow(); else delete frame;
        if (!view->m_hWnd) delete view;
        return FALSE;
    }
    if (App* app = App::Current()) app->m_pMainWnd = frame;
    frame->ShowWindow(cmdShow);
    UpdateWindow(frame->m_hWnd);
    return TRUE;
}

}  // namespace fw
