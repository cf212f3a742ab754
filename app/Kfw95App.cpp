#include "app/Kfw95App.h"

#include <windows.h>

#include "app/Kfw95Doc.h"
#include "app/Kfw95View.h"
#include "app/MainFrame.h"
#include "framework/DocView.h"
#include "framework/MsgBox.h"
#include "monitor/DriverLink.h"
#include "monitor/RuleTransfer.h"
#include "res/resource.h"
#include "store/StoreLayout.h"

namespace kf {

static CKfw95App theApp;

CKfw95App& TheApp() { return theApp; }

CKfw95App::CKfw95App() : fw::App("Keyfort") { m_helpFile = kHelpFileName; }

void SendRulesToDriver() {
    kf::SendRulesToDriver(TheDriverLink(), theApp.m_store, theApp.m_strActiveUser);
}

BOOL CKfw95App::InitInstance() {
    if (FindWindowA(nullptr, kMainWindowTitle)) return FALSE;

    m_store.SetRootPath(kStoreRoot);
    m_strActiveUser = kDefaultKey;
    m_strConfigUser = kDefaultKey;
    m_bExitRequested = 0;

    FirstStartSetUp(m_store);

    m_bStealth = m_store.ReadInt(kDefaultKey, "Stealth", 0, true);
    if (m_bStealth)
        m_bAskPassword = m_bAlertDisplay = m_bAlertTone = 0;
    else
        m_bAskPassword = m_store.ReadInt(kDefaultKey, "SecureAskPass", 1, true);
    m_nCmdShow = m_bAskPassword ? SW_SHOWMAXIMIZED : SW_HIDE;

    const std::string folder = ReadInstallFolder(m_store);
    if (folder.empty()) {
        fw::OwnerlessMessageBox("Missing Registry information, Please re-install Keyfort",
                                MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    SetCurrentDirectoryA(folder.c_str());

    Enable3dControls();
    LoadStdProfileSettings(0);
    LoadSettings();

    AddDocTemplate(new fw::SingleDocTemplate<CKfw95Doc, CMainFrame, CKfw95View>(IDR_MAINFRAME));
    if (!ProcessShellCommand()) return FALSE;
    m_pMainWnd->SetWindowText(kMainWindowTitle);

    if (!LoadMonitorDriver()) {
        fw::OwnerlessMessageBox("Failed to load monitoring driver", MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }

    // Until a login is asked for here, the Guest restrictions are in force
    // behind the maximized window.
    m_strActiveUser = kDefaultKey;
    SendRulesToDriver();
    SetEnforcement(0);
    if (!m_bAskPassword) m_pMainWnd->ShowWindow(SW_HIDE);

    SetCurrentDirectoryA(folder.c_str());
    return TRUE;
}

void CKfw95App::LoadSettings() {
    SettingsFlags f = LoadSettingsFlags(m_store, m_strConfigUser);
    m_bSecureTimeout = f.secureTimeout;
    m_bAskPassword = f.askPassword;
    m_bAlertDisplay = f.alertDisplay;
    m_bAlertTone = f.alertTone;
    m_bStealth = f.stealth;
}

void CKfw95App::ShowHelpTopic(const char* keyword) {
    // Without the help file the help engine would complain; nothing is reported.
    const std::string help = HelpFilePath();
    if (GetFileAttributesA(help.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    WinHelpA(MainWindowHandle(), help.c_str(), HELP_KEY, reinterpret_cast<ULONG_PTR>(keyword));
    for (int i = 0; i < 5000; ++i) {
        if (HWND w = FindWindowA(nullptr, kHelpWindowTitle)) {
            SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
            return;
        }
    }
}

}  // namespace kf
