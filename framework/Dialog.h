// Modal dialogs bound to a template of the resources.
#pragma once
#include <windows.h>

#include <string>

#include "framework/Wnd.h"

namespace fw {

class Dialog : public Wnd {
public:
    explicit Dialog(UINT templateId, HWND parent = nullptr)
        : m_templateId(templateId), m_parent(parent) {}

    // Runs the dialog; the value given to EndDialog, or -1 if it cannot be made.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result) { ::EndDialog(m_hWnd, result); }

    // Return TRUE to let the system set the focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    std::string GetItemText(int id) const;
    void SetItemText(int id, const char* text) { SetDlgItemTextA(m_hWnd, id, text); }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT DefWindowProc(UINT, WPARAM, LPARAM) override { return FALSE; }

private:
    static INT_PTR CALLBACK StaticDlgProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    UINT m_templateId;
    HWND m_parent;
};

}  // namespace fw
