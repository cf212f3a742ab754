#include "app/Kfw95View.h"

#include "res/resource.h"

namespace kf {

BOOL CKfw95View::PreCreateWindow(CREATESTRUCTA& cs) {
    cs.dwExStyle |= WS_EX_TOOLWINDOW;
    return fw::View::PreCreateWindow(cs);
}

void CKfw95View::OnDraw(HDC dc) {
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_SECURITY_LARGE));
    if (!icon) return;
    const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, cx, cy);
    HDC mem = CreateCompatibleDC(dc);
    if (!bitmap || !mem) {
        if (bitmap) DeleteObject(bitmap);
        if (mem) DeleteDC(mem);
        return;
    }
    HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
    // What the window shows now becomes the background behind the icon.
    StretchBlt(mem, 0, 0, cx, cy, dc, 2, 2, w - 14, h - 14, SRCCOPY);
    DrawIcon(mem, 0, 0, icon);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    Rectangle(dc, 0, 0, w - 10, h - 10);
    SelectObject(dc, oldPen);
    RECT right = {w - 10, 10, w, h}, bottom = {10, h - 10, w, h};
    HBRUSH grey = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
    FillRect(dc, &right, grey);
    FillRect(dc, &bottom, grey);
    StretchBlt(dc, 2, 2, w - 14, h - 14, mem, 0, 0, cx, cy, SRCCOPY);
    SelectObject(mem, oldBitmap);
    DeleteDC(mem);
    DeleteObject(bitmap);
}

}  // namespace kf
