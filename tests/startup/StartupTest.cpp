// The real kfw95.exe, installed by the real installer, on the real store.
#include <gtest/gtest.h>

#include <fstream>

#include "store/PolicyStore.h"
#include "store/Scramble.h"
#include "store/StoreLayout.h"
#include "tests/support/Process.h"
#include "tests/support/Registry.h"
#include "tests/support/Windows.h"
#include "ui/rules/RuleExpression.h"

using namespace kf;
using namespace kftest;

namespace {

const char* kFolder = "C:\\kftest\\Start Up\\";
const char* kTitle = "Keyfort for Windows 95";

class StartupTest : public testing::Test {
protected:
    void SetUp() override {
        DeleteTree(kStoreRoot);
        std::string out;
        ASSERT_EQ(RunCapture("\"" + BinFolder() + "kfwsetup.exe\" \"" + kFolder + "\"", &out), 0) << out;
        store.SetRootPath(kStoreRoot);
        // Something that is not ours to find.
        CreateDirectoryA("C:\\kftest\\secret", nullptr);
    }
    void TearDown() override {
        program.Kill();
        DeleteTree(kStoreRoot);
    }
    bool Start() { return program.Start(std::string("\"") + kFolder + "kfw95.exe\"", "C:\\"); }
    HWND MainWindow() { return WaitForTopWindow(program.Pid(), kTitle, 15000); }
    // kfwsim's answer for an access, or 3 with no driver loaded.
    int Access(const std::string& task, const std::string& op, const std::string& path, std::string* out = nullptr) {
        return RunSim(task + " " + op + " \"" + path + "\"", out);
    }
    int Status(std::string* out) { return RunSim("--status", out); }

    CPolicyStore store;
    Process program;
};

TEST_F(StartupTest, FirstStartSetsUpTheUsersAndKeepsTheGuestRulesBehindTheMaximizedWindow) {
    WriteRuleList(store, "Default", RuleListKind::NoAccess, {"C:\\kftest\\secret\\*.*"});
    ASSERT_TRUE(Start());
    HWND main = MainWindow();
    ASSERT_TRUE(main);
    ASSERT_TRUE(program.WaitIdle(15000));
    EXPECT_EQ(ReadUsersList(store), (std::vector<std::string>{"Administrator", "Guest"}));
    EXPECT_EQ(store.ReadString(kGeneralKey, kLastLoginValue, "", true), "Administrator");
    // The password is asked for (the default), so the window stays up.
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_TRUE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST);
    std::string out;
    EXPECT_EQ(Access("NOTEPAD", "read", "C:\\kftest\\secret\\plan.txt", &out), 1) << out;
    EXPECT_EQ(Access("NOTEPAD", "read", "C:\\kftest\\open.txt", &out), 0) << out;
    // The raw record file lands in the installation folder.
    EXPECT_NE(GetFileAttributesA((std::string(kFolder) + "Access.kfw95").c_str()), INVALID_FILE_ATTRIBUTES);
}

struct ResidentCase {
    const char* name;
    int stealth, askPass;  // -1: not stored
};

class StartupResidentTest : public StartupTest, public testing::WithParamInterface<ResidentCase> {};

TEST_P(StartupResidentTest, WithoutAPasswordToAskTheGuestRulesAreEnforcedAndTheWindowIsHidden) {
    const ResidentCase& c = GetParam();
    FirstStartSetUp(store);
    if (c.stealth >= 0) store.WriteInt("Default", "Stealth", c.stealth, true);
    if (c.askPass >= 0) store.WriteInt("Default", "SecureAskPass", c.askPass, true);
    WriteRuleList(store, "Default", RuleListKind::NoAccess, {"C:\\kftest\\secret\\*.*"});
    ASSERT_TRUE(Start());
    HWND main = MainWindow();
    ASSERT_TRUE(main);
    ASSERT_TRUE(program.WaitIdle(15000));
    EXPECT_FALSE(IsWindowVisible(main));
    std::string out;
    EXPECT_EQ(Access("NOTEPAD", "write", "C:\\kftest\\secret\\plan.txt", &out), 1) << out;
    EXPECT_EQ(Status(&out), 0);
    EXPECT_EQ(out.find("suspended"), std::string::npos) << out;
    // Stealth changes nothing in the store.
    if (c.askPass >= 0) {
        EXPECT_EQ(store.ReadInt("Default", "SecureAskPass", -1, true), c.askPass);
    }
}

INSTANTIATE_TEST_SUITE_P(Flags, StartupResidentTest,
                         testing::Values(ResidentCase{"StealthOverridesAskPass", 1, 1},
                                         ResidentCase{"StealthWithAskPassMissing", 1, -1},
                                         ResidentCase{"AskPassOff", 0, 0}),
                         [](const testing::TestParamInfo<ResidentCase>& i) { return std::string(i.param.name); });

TEST_F(StartupTest, MissingInstallationFolderStopsBeforeAnyWindowOrDriver) {
    for (bool emptyFolder : {false, true}) {
        DeleteTree(std::string(kStoreRoot) + "\\Install");
        if (emptyFolder) store.WriteString(kInstallKey, kFolderValue, "", false);
        Process p;
        ASSERT_TRUE(p.Start(std::string("\"") + kFolder + "kfw95.exe\""));
        HWND box = WaitFor([&]() -> HWND {
            for (HWND w : TopWindowsOf(p.Pid()))
                if (IsMessageBox(w)) return w;
            return nullptr;
        }, 15000);
        ASSERT_TRUE(box) << "empty folder: " << emptyFolder;
        EXPECT_EQ(WindowText(box), "Keyfort");
        EXPECT_EQ(MessageBoxText(box), "Missing Registry information, Please re-install Keyfort");
        EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
        // Nothing else of the program is there: no main window, no driver.
        for (HWND w : TopWindowsOf(p.Pid()))
            if (w != box && IsWindowVisible(w)) ADD_FAILURE() << "window left: " << WindowText(w);
        EXPECT_EQ(FindWindowA(nullptr, kTitle), nullptr);
        std::string out;
        EXPECT_EQ(Status(&out), 3) << out;
        BoxSeen seen;
        ASSERT_TRUE(AnswerMessageBox(p.Pid(), 5000, &seen));
        EXPECT_NE(p.Wait(15000), -1);
    }
}

TEST_F(StartupTest, SecondInstanceEndsSilentlyBeforeTheStoreIsTouched) {
    // Any window with the title counts as the running program.
    HWND other = CreateWindowExA(0, "STATIC", kTitle, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(other);
    {
        Process p;
        ASSERT_TRUE(p.Start(std::string("\"") + kFolder + "kfw95.exe\""));
        // The test thread owns that window: keep its messages moving while waiting.
        int code = -1;
        for (int i = 0; i < 1500 && code == -1; ++i) {
            MSG m;
            while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
            code = p.Wait(10);
        }
        EXPECT_NE(code, -1) << "the second instance did not end";
        EXPECT_FALSE(KeyExists(std::string(kStoreRoot) + "\\" + ScrambleText(kGeneralKey, false)));
        std::string out;
        EXPECT_EQ(Status(&out), 3) << out;
    }
    DestroyWindow(other);

    // The real program, then a second start of it.
    ASSERT_TRUE(Start());
    HWND main = MainWindow();
    ASSERT_TRUE(main);
    ASSERT_TRUE(program.WaitIdle(15000));
    Process second;
    ASSERT_TRUE(second.Start(std::string("\"") + kFolder + "kfw95.exe\""));
    EXPECT_NE(second.Wait(15000), -1);
    EXPECT_TRUE(program.Running());
    EXPECT_TRUE(IsWindow(main));
}

TEST_F(StartupTest, DriverThatCannotBeLoadedEndsTheProgramWithBothMessages) {
    ASSERT_TRUE(DeleteFileA((std::string(kFolder) + "KFWMONTR.vxd").c_str()));
    ASSERT_TRUE(Start());
    BoxSeen first, second;
    ASSERT_TRUE(AnswerMessageBox(program.Pid(), 15000, &first));
    EXPECT_EQ(first.caption, "Keyfort");
    EXPECT_EQ(first.text, "Failed loading dynamic loaded VxD ");
    ASSERT_TRUE(AnswerMessageBox(program.Pid(), 15000, &second));
    EXPECT_EQ(second.text, "Failed to load monitoring driver");
    EXPECT_FALSE(second.owned);
    EXPECT_NE(program.Wait(15000), -1);
}

TEST_F(StartupTest, RawRecordFileIsEmptiedAtEachStartOrItsFailureIsNamed) {
    const std::string raw = std::string(kFolder) + "Access.kfw95";
    {
        std::ofstream f(raw, std::ios::binary);
        f << "an old report\r\n";
    }
    store.WriteInt("Default", "SecureAskPass", 0, true);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(MainWindow());
    ASSERT_TRUE(program.WaitIdle(15000));
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExA(raw.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, 0u);
    program.Kill();

    // A folder in its place: the system's text for the error, then the start-up message.
    ASSERT_TRUE(DeleteFileA(raw.c_str()));
    ASSERT_TRUE(CreateDirectoryA(raw.c_str(), nullptr));
    Process p;
    ASSERT_TRUE(p.Start(std::string("\"") + kFolder + "kfw95.exe\""));
    BoxSeen first, second;
    ASSERT_TRUE(AnswerMessageBox(p.Pid(), 15000, &first));
    EXPECT_FALSE(first.text.empty());
    EXPECT_NE(first.text, "Failed to load monitoring driver");
    ASSERT_TRUE(AnswerMessageBox(p.Pid(), 15000, &second));
    EXPECT_EQ(second.text, "Failed to load monitoring driver");
    EXPECT_NE(p.Wait(15000), -1);
    RemoveDirectoryA(raw.c_str());
}

TEST_F(StartupTest, MainWindowIgnoresCloseAndAnswersOnlyTheRightCheckOut) {
    store.WriteInt("Default", "SecureAskPass", 0, true);
    ASSERT_TRUE(Start());
    HWND main = MainWindow();
    ASSERT_TRUE(main);
    ASSERT_TRUE(program.WaitIdle(15000));
    SendMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(main));
    EXPECT_TRUE(program.Running());
    EXPECT_EQ(SendMessageW(main, WM_USER + 28, 23, 42), 19);
    EXPECT_EQ(SendMessageW(main, WM_USER + 28, 23, 43), 0);
    EXPECT_EQ(SendMessageW(main, WM_USER + 28, 0, 0), 0);
    // A query with a non-zero wParam is refused and the driver stays.
    EXPECT_EQ(SendMessageW(main, WM_QUERYENDSESSION, 1, 0), 0);
    std::string out;
    EXPECT_EQ(Status(&out), 0) << out;
    EXPECT_EQ(SendMessageW(main, WM_QUERYENDSESSION, 0, 0), 1);
    EXPECT_EQ(Status(&out), 3) << out;
}

}  // namespace
