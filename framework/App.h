// The application object: start-up, the message loop, the main window.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/Wnd.h"

namespace fw {

class DocTemplate;

class App {
public:
    explicit App(const char* appName);
    virtual ~App();

    static App* Current();

    // Start-up; false ends the process without a message loop.
    virtual BOOL InitInstance() { return TRUE; }
    virtual int Run();
    virtual int ExitInstance() { return m_exitCode; }

    // The framework's main routine: InitInstance, then the loop.
    int WinMain(HINSTANCE instance, const char* cmdLine, int cmdShow);

    void Enable3dControls();
    void LoadStdProfileSettings(unsigned recentFiles) { (void)recentFiles; }
    void AddDocTemplate(DocTemplate* tmpl);
    // The standard command-line processing: with no file named, a new document.
    BOOL ProcessShellCommand();

    HWND MainWindowHandle() const { return m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr; }
    // The help file of the program: its name, beside the program.
    std::string HelpFilePath() const;

    const char* m_pszAppName;
    HINSTANCE m_hInstance = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL;
    Wnd* m_pMainWnd = nullptr;
    std::string m_helpFile;  // file name only, e.g. "KFW95.HLP"

protected:
    int m_exitCode = 0;

private:
    std::vector<std::unique_ptr<DocTemplate>> m_templates;
};

}  // namespace fw
