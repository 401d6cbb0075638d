#include "core/step_machine.h"

#include "ui/resource_ids.h"
#include "ui/wizard_pages.h"
#include "ui/wizard_fixture.h"

namespace {

using afx::IDNO;
using afx::IDYES;

const char* const kExitQuestion = "The installation process is not yet finished - are you sure you want to exit?";

class StepMachineTest : public WizardTest {};

TEST_F(StepMachineTest, HostInitialisationGoesFromStepZeroToTheWelcomePageAndStartsThePump) {
    EXPECT_EQ(theApp.currentStep, 0);
    CPatchwellDlg& dialog = CreateHost();
    EXPECT_EQ(theApp.currentStep, stepWelcome);
    ASSERT_NE(Page(), nullptr);
    EXPECT_NE(dynamic_cast<CDlgStepWelcome*>(Page()), nullptr);
    EXPECT_TRUE(Page()->IsWindowVisible());
    EXPECT_EQ(Page()->Parent(), &dialog);
    const auto* pump = ui.FindTimer(dialog.GetSafeHwnd(), 0);
    ASSERT_NE(pump, nullptr);
    EXPECT_EQ(pump->elapse, 100u);
    EXPECT_EQ(pump->callback, &PumpTick);
    EXPECT_FALSE(theApp.documentsFolder.empty());
    EXPECT_EQ(log.Text(), "");
}

TEST_F(StepMachineTest, CancelAnsweredNoChangesNothingAndYesPostsTheQuit) {
    CreateHost();
    afx::CDialogEx* welcome = Page();
    ui.AnswerNextMessageBox(IDNO, 700);
    ASSERT_TRUE(ui.Click(IDC_CANCEL_BUTTON));
    ASSERT_EQ(ui.MessageBoxes().size(), 1u);
    const auto& box = ui.MessageBoxes()[0];
    EXPECT_EQ(box.text, kExitQuestion);
    EXPECT_EQ(box.caption, "Installing not complete");
    EXPECT_EQ(box.flags, 0x34u);
    EXPECT_EQ(box.owner, host->GetSafeHwnd());
    EXPECT_EQ(box.closedAt - box.openedAt, 700u);
    EXPECT_EQ(theApp.currentStep, stepWelcome);
    EXPECT_EQ(Page(), welcome);
    EXPECT_TRUE(welcome->IsWindowVisible());
    EXPECT_FALSE(ui.QuitPosted());

    ui.AnswerNextMessageBox(IDYES);
    ASSERT_TRUE(ui.Click(IDC_CANCEL_BUTTON));
    EXPECT_TRUE(ui.QuitPosted());
    EXPECT_EQ(ui.QuitCode(), 1);
}

TEST_F(StepMachineTest, CloseAsksOnStepsOneToThreeAndQuitsAtOnceOnStepsFourAndFive) {
    struct Case {
        int step;
        bool asks;
    } cases[] = {{stepWelcome, true}, {stepDetect, true}, {stepInstalling, true}, {stepComplete, false},
                 {stepFailed, false}};
    CreateHost();
    for (const Case& c : cases) {
        SwitchStep(c.step, theApp);
        std::size_t boxesBefore = ui.MessageBoxes().size();
        if (c.asks) ui.AnswerNextMessageBox(IDNO);
        ASSERT_TRUE(ui.Close()) << c.step;
        EXPECT_EQ(ui.MessageBoxes().size() - boxesBefore, c.asks ? 1u : 0u) << c.step;
        EXPECT_EQ(ui.QuitPosted(), !c.asks) << c.step;
        EXPECT_EQ(theApp.currentStep, c.step);
        ui.ClearQuit();
    }
}

TEST_F(StepMachineTest, TwoPackagesAreInstalledInOneTickAndFinishedTheNext) {
    CreateHost();
    SwitchStep(stepInstalling, theApp);
    QueuePackages({"C:\\upd/a.pkg", "C:\\upd/b.pkg"});
    ui.RunFor(100);  // the first tick after discovery
    EXPECT_EQ(log.Text(),
              "[prepare]\n"
              "Installing completed downloads\n"
              "[package C:\\upd/a.pkg]\n"
              "[package C:\\upd/b.pkg]\n"
              "Completed downloads installed\n");
    EXPECT_TRUE(theApp.packages.empty());
    EXPECT_TRUE(theApp.installRequested);
    EXPECT_EQ(theApp.currentStep, stepInstalling);
    EXPECT_EQ(ui.TaskbarProgressClears(), 0);
    // The package handed over is always the front of the queue, freed before the next.
    EXPECT_EQ(Calls().queues, (std::vector<std::vector<std::string>>{{"C:\\upd/a.pkg", "C:\\upd/b.pkg"},
                                                                     {"C:\\upd/b.pkg"}}));
    log.Clear();
    ui.RunFor(99);
    EXPECT_EQ(log.Text(), "");
    ui.RunFor(1);
    EXPECT_EQ(log.Text(), "Finishing install process:\n[shortcuts]\n[restore]\nDone\n");
    EXPECT_FALSE(theApp.installRequested);
    EXPECT_EQ(theApp.currentStep, stepComplete);
    EXPECT_NE(dynamic_cast<CDlgStepComplete*>(Page()), nullptr);
    EXPECT_EQ(ui.TaskbarProgressClears(), 1);
    log.Clear();
    ui.RunFor(1000);
    EXPECT_EQ(log.Text(), "");
    EXPECT_EQ(Calls().calls, (std::vector<std::string>{"prepare", "package C:\\upd/a.pkg", "package C:\\upd/b.pkg",
                                                       "shortcuts", "restore"}));
}

TEST_F(StepMachineTest, AnInstallDueWhileTheExitQuestionIsOpenRunsAndThePageBehindChanges) {
    struct Case {
        int answer;
        bool quits;
    } cases[] = {{IDNO, false}, {IDYES, true}};
    for (const Case& c : cases) {
        CreateHost();
        SwitchStep(stepInstalling, theApp);
        QueuePackages({"p1"});
        ui.AnswerNextMessageBox(c.answer, 1000);
        ASSERT_TRUE(ui.Click(IDC_CANCEL_BUTTON));
        EXPECT_EQ(theApp.currentStep, stepComplete) << c.answer;
        EXPECT_TRUE(Page()->IsWindowVisible());
        EXPECT_EQ(ui.QuitPosted(), c.quits);
        EXPECT_EQ(Calls().calls.size(), 4u);
        host.reset();
        ResetInstallerState();
        Calls() = PhaseCalls{};
        ui.ClearQuit();
        theApp.titleFont = std::make_unique<afx::CFont>();
    }
}

TEST_F(StepMachineTest, APumpTickNeverStartsInsideAnother) {
    // A box opened inside a tick keeps delivering the pump's timer.
    InstallPhases boxed = LoggingPhases();
    boxed.prepareInstallation = [](CPatchwellApp&) {
        Calls().calls.push_back("prepare");
        afx::MessageBoxA(nullptr, "busy", "busy", 0);
    };
    ScopedInstallPhases usingBoxed(boxed);
    CreateHost();
    SwitchStep(stepInstalling, theApp);
    QueuePackages({"p1", "p2"});
    ui.AnswerNextMessageBox(afx::IDOK, 450);
    ui.RunFor(100);
    EXPECT_EQ(Calls().calls, (std::vector<std::string>{"prepare", "package p1", "package p2"}));
    EXPECT_FALSE(theApp.pumpBusy);
    ui.RunFor(100);
    EXPECT_EQ(theApp.currentStep, stepComplete);
}

TEST_F(StepMachineTest, SwitchStepEndsThePageAndClearsWhatBelongedToIt) {
    CreateHost();
    SwitchStep(stepInstalling, theApp);
    afx::CDialogEx* installing = Page();
    EXPECT_NE(theApp.progressBar, nullptr);
    EXPECT_NE(theApp.statusText, nullptr);
    EXPECT_EQ(installingPage, installing);
    theApp.installRequested = true;
    theApp.failureReason = "Because.";
    SwitchStep(stepFailed, theApp);
    EXPECT_FALSE(installing->IsWindowVisible());
    EXPECT_EQ(installing->Result(), afx::IDOK);
    EXPECT_EQ(theApp.progressBar, nullptr);
    EXPECT_EQ(theApp.statusText, nullptr);
    EXPECT_FALSE(theApp.installRequested);
    EXPECT_EQ(installingPage, installing);  // the hidden page lives on
    SwitchStep(9, theApp);
    EXPECT_EQ(theApp.currentStep, 9);
    EXPECT_EQ(Page(), nullptr);
    EXPECT_EQ(ui.TopDialog(), host.get());
}

}  // namespace
