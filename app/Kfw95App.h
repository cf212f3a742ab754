// The application object: process-wide state and start-up.
#pragma once
#include <string>

#include "framework/App.h"
#include "store/PolicyStore.h"

namespace kf {

constexpr const char* kMainWindowTitle = "Keyfort for Windows 95";
constexpr const char* kHelpWindowTitle = "Keyfort - Wardlight";
constexpr const char* kHelpFileName = "KFW95.HLP";

class CKfw95App : public fw::App {
public:
    CKfw95App();

    BOOL InitInstance() override;
    void LoadSettings();
    void ShowHelpTopic(const char* keyword);

    int m_bSecureTimeout = 0;
    int m_bAskPassword = 0;
    int m_bAlertDisplay = 0;
    int m_bAlertTone = 0;
    int m_bStealth = 0;
    std::string m_strActiveUser = "Default";
    std::string m_strConfigUser = "Default";
    CPolicyStore m_store;
    int m_bExitRequested = 0;
};

CKfw95App& TheApp();

// The active user's lists go to the driver.
void SendRulesToDriver();

}  // namespace kf
