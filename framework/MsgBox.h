// Message boxes with the application's name as caption.
#pragma once
#include <windows.h>

namespace fw {

// Owned by the application's main window when there is one.
int MessageBox(const char* text, UINT type = MB_OK | MB_ICONEXCLAMATION);
// Without owner, for start-up failures.
int OwnerlessMessageBox(const char* text, UINT type = MB_OK | MB_ICONEXCLAMATION);
// Owned by the given window.
int OwnedMessageBox(HWND owner, const char* text, UINT type = MB_OK | MB_ICONEXCLAMATION);

}  // namespace fw
