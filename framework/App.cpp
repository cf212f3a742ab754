#include "framework/App.h"

#include <commctrl.h>

#include "framework/DocView.h"

namespace fw {

static App* g_app = nullptr;

App::App(const char* appName) : m_pszAppName(appName) { g_app = this; }
App::~App() {
    if (g_app == this) g_app = nullptr;
}

App* App::Current() { return g_app; }

void App::Enable3dControls() {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
}

void App::AddDocTemplate(DocTemplate* tmpl) { m_templates.emplace_back(tmpl); }

BOOL App::ProcessShellCommand() {
    if (m_templates.empty()) return FALSE;
    return m_templates.front()->OpenNewDocument(m_nCmdShow);
}

std::string App::HelpFilePath() const {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return m_helpFile;
    std::string s(path, n);
    s.erase(s.find_last_of("\\/") + 1);
    return s + m_helpFile;
}

int App::Run() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    m_exitCode = static_cast<int>(msg.wParam);
    return ExitInstance();
}

int App::WinMain(HINSTANCE instance, const char* cmdLine, int cmdShow) {
    (void)cmdLine;
    m_hInstance = instance;
    m_nCmdShow = cmdShow;
    if (!InitInstance()) {
        if (m_pMainWnd && m_pMainWnd->IsWindow()) m_pMainWnd->DestroyWindow();
        return 1;
    }
    return Run();
}

}  // namespace fw
