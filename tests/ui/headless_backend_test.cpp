#include "platform/ui/headless_backend.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/ui_backend.h"

namespace {

std::vector<std::string>& Events() {
    static std::vector<std::string> events;
    return events;
}

void Record(afx::HWND, afx::UINT, afx::UINT_PTR id, afx::DWORD time) {
    Events().push_back(std::to_string(id) + "@" + std::to_string(time));
}

void OneShot(afx::HWND window, afx::UINT, afx::UINT_PTR id, afx::DWORD time) {
    afx::KillTimer(window, id);
    Events().push_back("once@" + std::to_string(time));
}

// A dialog built by hand: no template, two buttons bound by DDX.
class TwoButtons : public afx::CDialogEx {
public:
    TwoButtons() : afx::CDialogEx(999) {}
    void DoDataExchange(afx::CDataExchange* exchange) override {
        afx::DDX_Control(exchange, 10, first);
        afx::DDX_Control(exchange, 11, box);
    }
    afx::BOOL OnCommand(int id) override {
        Events().push_back("command " + std::to_string(id));
        return afx::CDialogEx::OnCommand(id);
    }
    afx::CButton first;
    afx::CButton box;
};

class HeadlessBackendTest : public ::testing::Test {
protected:
    HeadlessBackendTest() { Events().clear(); }
    afx::HeadlessBackend ui;
    afx::ScopedUiBackend use{&ui};
};

TEST_F(HeadlessBackendTest, TimersFireInOrderOfDueTimeAndOneShotsOnlyOnce) {
    TwoButtons dialog;
    dialog.Create(999);
    afx::SetTimer(dialog, 1, 100, Record);
    afx::SetTimer(dialog, 2, 250, OneShot);
    afx::SetTimer(dialog, 3, 0, Record);  // raised to the 10 ms minimum
    afx::KillTimer(dialog, 3);
    ui.RunFor(300);
    EXPECT_EQ(Events(), (std::vector<std::string>{"1@100", "1@200", "once@250", "1@300"}));
    EXPECT_EQ(ui.Now(), 300u);
    // Setting an id again replaces the timer; a timer without a window gets an id of its own.
    afx::SetTimer(dialog, 1, 50, Record);
    afx::UINT_PTR free = afx::SetTimer(nullptr, 1, 1000, Record);
    EXPECT_NE(free, 1u);
    Events().clear();
    ui.RunFor(100);
    EXPECT_EQ(Events(), (std::vector<std::string>{"1@350", "1@400"}));
    dialog.DestroyWindow();
    EXPECT_EQ(ui.FindTimer(dialog, 1), nullptr);
    EXPECT_NE(ui.FindTimer(nullptr, free), nullptr);
}

TEST_F(HeadlessBackendTest, AMessageBoxKeepsTimersGoingUntilItsScriptedAnswer) {
    TwoButtons dialog;
    dialog.Create(999);
    afx::SetTimer(dialog, 7, 100, Record);
    ui.AnswerNextMessageBox(afx::IDYES, 250);
    EXPECT_EQ(afx::MessageBoxA(dialog, "Sure?", "Question", 0x34), afx::IDYES);
    EXPECT_EQ(Events(), (std::vector<std::string>{"7@100", "7@200"}));
    ASSERT_EQ(ui.MessageBoxes().size(), 1u);
    EXPECT_EQ(ui.MessageBoxes()[0].closedAt, 250u);
    EXPECT_EQ(ui.OpenMessageBox(), nullptr);
    // Without a script the driver answers; input other than the answer is refused meanwhile.
    bool clickRefused = false;
    ui.SetDriver([&](afx::HeadlessBackend& backend) {
        if (!backend.OpenMessageBox() || backend.Now() < 400) return;
        clickRefused = !backend.Click(10);
        backend.AnswerMessageBox(afx::IDNO);
    });
    EXPECT_EQ(afx::MessageBoxA(nullptr, "Again?", "Question", 0x34), afx::IDNO);
    EXPECT_TRUE(clickRefused);
    EXPECT_EQ(ui.Now(), 400u);
}

TEST_F(HeadlessBackendTest, ModalLoopEndsOnEndDialogOrQuitAndGivesUpWhenNothingIsLeft) {
    {
        TwoButtons dialog;
        ui.PressEnterAfter(500);
        EXPECT_EQ(dialog.DoModal(), afx::IDOK);  // Enter reaches the default OnOK
        EXPECT_EQ(ui.Now(), 500u);
        EXPECT_EQ(Events(), (std::vector<std::string>{"command 1"}));
    }
    {
        TwoButtons dialog;
        afx::SetTimer(nullptr, 0, 100, [](afx::HWND, afx::UINT, afx::UINT_PTR, afx::DWORD) {
            afx::PostQuitMessage(3);
        });
        EXPECT_EQ(dialog.DoModal(), -1);
        EXPECT_TRUE(ui.QuitPosted());
        EXPECT_EQ(ui.QuitCode(), 3);
        EXPECT_EQ(dialog.DoModal(), -1);  // the quit stays posted
        ui.ClearQuit();
    }
    afx::HeadlessBackend idle;
    afx::ScopedUiBackend useIdle(&idle);
    TwoButtons dialog;
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_TRUE(idle.Stalled());
    afx::HeadlessBackend endless;
    afx::ScopedUiBackend useEndless(&endless);
    endless.SetTimeLimit(5000);
    TwoButtons ticking;
    ticking.Create(999);
    afx::SetTimer(ticking, 1, 100, Record);
    EXPECT_EQ(ticking.DoModal(), -1);
    EXPECT_TRUE(endless.TimedOut());
    EXPECT_EQ(endless.Now(), 5000u);
}

TEST_F(HeadlessBackendTest, ClicksReachOnlyShownEnabledControlsAndCheckBoxesTurnOver) {
    TwoButtons dialog;
    dialog.Create(999);
    dialog.first.MutableState().kind = afx::ControlKind::kPushButton;
    dialog.box.MutableState().kind = afx::ControlKind::kCheckBox;
    EXPECT_FALSE(ui.Click(10));  // the dialog is still hidden
    dialog.ShowWindow(afx::SW_SHOW);
    dialog.first.ShowWindow(afx::SW_SHOW);
    dialog.box.ShowWindow(afx::SW_SHOW);
    EXPECT_TRUE(ui.Click(11));
    EXPECT_EQ(dialog.box.GetCheck(), afx::BST_CHECKED);
    EXPECT_TRUE(ui.Click(11));
    EXPECT_EQ(dialog.box.GetCheck(), afx::BST_UNCHECKED);
    dialog.first.EnableWindow(afx::FALSE);
    EXPECT_FALSE(ui.Click(10));
    EXPECT_FALSE(ui.Click(12));
    EXPECT_EQ(Events(), (std::vector<std::string>{"command 11", "command 11"}));
    EXPECT_EQ(ui.Control(11), &dialog.box);
    EXPECT_EQ(afx::HeadlessBackend::ActiveClock(), ui.Now());
}

}  // namespace
