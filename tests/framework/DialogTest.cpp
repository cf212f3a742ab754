// The dialog base and message boxes, driven through their controls from
// another thread as a person would.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "framework/App.h"
#include "framework/Dialog.h"
#include "framework/MsgBox.h"
#include "tests/framework/dialog_test.h"
#include "tests/support/Windows.h"

using namespace kftest;

namespace {

class NameDialog : public fw::Dialog {
public:
    NameDialog() : fw::Dialog(IDD_TEST_DIALOG) {}
    FW_BEGIN_MSG_MAP(NameDialog)
        FW_COMMAND_ID_HANDLER(IDC_TEST_CHECK, OnCheck)
    FW_END_MSG_MAP()

    BOOL OnInitDialog() override {
        SetItemText(IDC_TEST_NAME, "initial");
        return TRUE;
    }
    void OnCheck() {
        ++checks;
        std::string text = "You typed: " + GetItemText(IDC_TEST_NAME);
        fw::OwnedMessageBox(m_hWnd, text.c_str(), MB_OK | MB_ICONINFORMATION);
    }
    void OnOK() override {
        name = GetItemText(IDC_TEST_NAME);
        EndDialog(IDOK);
    }
    std::string name;
    int checks = 0;
};

HWND WaitForDialog() {
    return WaitForTopWindow(GetCurrentProcessId(), "Framework test dialog", 10000);
}

void SetText(HWND dlg, int id, const wchar_t* text) {
    SendMessageW(GetDlgItem(dlg, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void Click(HWND dlg, int id) { PostMessageW(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }

class DialogTest : public testing::Test {
protected:
    fw::App app{"Keyfort"};
};

TEST_F(DialogTest, ControlsReachTheirHandlersAndOkEndsWithTheTypedText) {
    NameDialog dlg;
    std::atomic<bool> driven{false};
    std::string initial, boxText, boxCaption;
    HWND boxOwner = nullptr, dialogWnd = nullptr;
    std::thread person([&] {
        HWND w = WaitForDialog();
        if (!w) return;
        dialogWnd = w;
        initial = WindowText(GetDlgItem(w, IDC_TEST_NAME));
        SetText(w, IDC_TEST_NAME, L"Ada");
        Click(w, IDC_TEST_CHECK);
        BoxSeen seen;
        if (AnswerMessageBox(GetCurrentProcessId(), 10000, &seen)) {
            boxText = seen.text;
            boxCaption = seen.caption;
            boxOwner = seen.owner;
        }
        SetText(w, IDC_TEST_NAME, L"Grace");
        Click(w, IDOK);
        driven = true;
    });
    INT_PTR result = dlg.DoModal();
    person.join();
    ASSERT_TRUE(driven);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(initial, "initial");
    EXPECT_EQ(dlg.checks, 1);
    EXPECT_EQ(boxText, "You typed: Ada");
    EXPECT_EQ(boxCaption, "Keyfort");
    EXPECT_EQ(boxOwner, dialogWnd);
    EXPECT_EQ(dlg.name, "Grace");
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST_F(DialogTest, CancelAndTheCloseBoxEndWithoutOk) {
    for (bool viaClose : {false, true}) {
        SCOPED_TRACE(viaClose ? "close box" : "Cancel");
        NameDialog dlg;
        std::thread person([&] {
            HWND w = WaitForDialog();
            if (!w) return;
            SetText(w, IDC_TEST_NAME, L"typed, then dropped");
            if (viaClose) {
                PostMessageW(w, WM_CLOSE, 0, 0);
            } else {
                Click(w, IDCANCEL);
            }
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        person.join();
        EXPECT_EQ(dlg.name, "");
    }
}

TEST_F(DialogTest, MissingTemplateGivesMinusOne) {
    fw::Dialog missing(4711);
    EXPECT_EQ(missing.DoModal(), -1);
}

}  // namespace
