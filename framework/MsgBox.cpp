#include "framework/MsgBox.h"

#include "framework/App.h"

namespace fw {

static const char* Caption() {
    App* app = App::Current();
    return app && app->m_pszAppName ? app->m_pszAppName : "";
}

int OwnedMessageBox(HWND owner, const char* text, UINT type) {
    return MessageBoxA(owner, text, Caption(), type);
}

int MessageBox(const char* text, UINT type) {
    App* app = App::Current();
    HWND owner = app ? app->MainWindowHandle() : nullptr;
    return OwnedMessageBox(owner && IsWindow(owner) ? owner : nullptr, text, type);
}

int OwnerlessMessageBox(const char* text, UINT type) { return OwnedMessageBox(nullptr, text, type); }

}  // namespace fw
