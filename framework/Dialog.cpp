#include "framework/Dialog.h"

#include <vector>

namespace fw {

static const char* kDialogProp = "fw.Dialog";

INT_PTR Dialog::DoModal() {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId), m_parent,
                           &Dialog::StaticDlgProc, reinterpret_cast<LPARAM>(this));
}

std::string Dialog::GetItemText(int id) const {
    HWND item = GetDlgItem(id);
    int n = item ? GetWindowTextLengthA(item) : 0;
    std::vector<char> buf(n + 1);
    if (item) GetWindowTextA(item, buf.data(), n + 1);
    return buf.data();
}

LRESULT Dialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (ProcessWindowMessage(m_hWnd, msg, wParam, lParam, result)) return result;
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) { OnOK(); return TRUE; }
        if (LOWORD(wParam) == IDCANCEL) { OnCancel(); return TRUE; }
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK Dialog::StaticDlgProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Dialog* self = static_cast<Dialog*>(GetPropA(hWnd, kDialogProp));
    if (!self && msg == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->m_hWnd = hWnd;
        SetPropA(hWnd, kDialogProp, self);
    }
    if (!self) return FALSE;
    INT_PTR result = FALSE;
    try {
        result = self->WindowProc(msg, wParam, lParam);
    } catch (...) {
        // Exceptions stop here; they never cross into the system.
        result = FALSE;
    }
    if (msg == WM_NCDESTROY) {
        RemovePropA(hWnd, kDialogProp);
        self->m_hWnd = nullptr;
    }
    return result;
}

}  // namespace fw
