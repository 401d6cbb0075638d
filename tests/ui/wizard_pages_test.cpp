#include "ui/wizard_pages.h"

#include "detect/detect_page.h"
#include "packages/package_discovery.h"
#include "ui/resource_ids.h"
#include "ui/wizard_fixture.h"

namespace {

class WizardPagesTest : public WizardTest {
protected:
    afx::CWnd& Item(int id) {
        afx::CWnd* control = Page()->GetDlgItem(id);
        EXPECT_NE(control, nullptr) << id;
        return *control;
    }
};

TEST_F(WizardPagesTest, WelcomeIgnoresEnterAndEscapeAndStartLeadsToDetection) {
    CreateHost();
    afx::CDialogEx* welcome = Page();
    EXPECT_EQ(Item(1002).State().text, "Start \xBB");
    EXPECT_EQ(Item(1002).State().font, TitleFont());
    EXPECT_EQ(Item(1003).State().font, TitleFont());
    EXPECT_EQ(Item(1005).State().font, nullptr);
    ASSERT_TRUE(ui.PressEnter());
    ASSERT_TRUE(ui.PressEscape());
    EXPECT_TRUE(welcome->IsWindowVisible());
    EXPECT_EQ(theApp.currentStep, stepWelcome);
    EXPECT_TRUE(ui.MessageBoxes().empty());
    ASSERT_TRUE(ui.Click(IDC_START_BUTTON));
    EXPECT_EQ(theApp.currentStep, stepDetect);
    EXPECT_FALSE(welcome->IsWindowVisible());
    ASSERT_NE(detectPage, nullptr);
    EXPECT_EQ(Page(), detectPage);
    EXPECT_EQ(ui.TopDialog(), detectPage);
}

TEST_F(WizardPagesTest, InstallingPageHandsOverItsBarAndStatusLineAndStartsDiscoveryOnce) {
    CreateHost();
    SwitchStep(stepInstalling, theApp);
    auto* page = dynamic_cast<CDlgStepInstalling*>(Page());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(theApp.progressBar, &page->progressBar);
    EXPECT_EQ(theApp.statusText, &page->statusLine);
    EXPECT_EQ(page->statusLine.State().text, "Initialising installation...");
    EXPECT_EQ(page->progressBar.GetPos(), 0);
    const auto* timer = ui.FindTimer(page->GetSafeHwnd(), 0);
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->elapse, 250u);
    EXPECT_EQ(timer->callback, &DiscoverPackages);
    EXPECT_FALSE(page->continueButton.IsWindowEnabled());
    EXPECT_FALSE(ui.Click(IDC_CONTINUE_BUTTON));
    EXPECT_TRUE(Item(IDC_CANCEL_BUTTON).IsWindowEnabled());
    ASSERT_TRUE(ui.PressEnter());
    ASSERT_TRUE(ui.PressEscape());
    EXPECT_EQ(Page(), page);
    EXPECT_TRUE(page->IsWindowVisible());
}

TEST_F(WizardPagesTest, FinishedStartsTheSimulatorOnlyWhenTheBoxIsTicked) {
    for (bool ticked : {true, false}) {
        CreateHost();
        theApp.installFolder = "C:\\Sim";
        // The first rule counts the start of the simulator; the second keeps
        // anything from being started for real.
        plat::fault::Rule started;
        started.call = "ShellExecuteA";
        started.pathContains = "C:\\Sim\\AerovinRC.exe";
        started.code = 2;
        started.times = 1;
        plat::fault::Inject(started);
        plat::fault::Inject("ShellExecuteA", 5);
        SwitchStep(stepComplete, theApp);
        auto* page = dynamic_cast<CDlgStepComplete*>(Page());
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->startSimulator.GetCheck(), afx::BST_CHECKED);
        if (!ticked) {
            ASSERT_TRUE(ui.Click(IDC_START_SIMULATOR));
        }
        EXPECT_EQ(page->startSimulator.GetCheck(), ticked ? afx::BST_CHECKED : afx::BST_UNCHECKED);
        ASSERT_TRUE(ui.Click(IDC_FINISHED_BUTTON));
        EXPECT_TRUE(ui.QuitPosted());
        EXPECT_EQ(ui.QuitCode(), 1);
        EXPECT_EQ(plat::fault::Check("ShellExecuteA", "C:\\Sim\\AerovinRC.exe"), ticked ? 5u : 2u) << ticked;
        plat::fault::Clear();
        ui.ClearQuit();
        host.reset();
        theApp.currentPage = nullptr;
        theApp.currentStep = 0;
    }
}

TEST_F(WizardPagesTest, FailurePageShowsTheReasonInTheTitleFontAndFinishedQuits) {
    CreateHost();
    theApp.failureReason = "Could not detect any previously installed version.";
    ui.ClearSentMessages();
    SwitchStep(stepFailed, theApp);
    EXPECT_EQ(Item(IDC_FAILURE_REASON).State().text, "Could not detect any previously installed version.");
    EXPECT_EQ(Item(IDC_FAILURE_REASON).State().font, TitleFont());
    // The reason gets the font after its text.
    std::vector<afx::UINT> reasonMessages;
    for (const auto& m : ui.SentMessages())
        if (m.controlId == IDC_FAILURE_REASON) reasonMessages.push_back(m.message);
    EXPECT_EQ(reasonMessages, (std::vector<afx::UINT>{afx::WM_SETTEXT, afx::WM_SETFONT}));
    EXPECT_EQ(Item(1004).State().text,
              "You may wish to try the installation process again later, or contact Aerovin Support at: "
              "support@aerovin.example.");
    ASSERT_TRUE(ui.PressEnter());
    ASSERT_TRUE(ui.PressEscape());
    EXPECT_FALSE(ui.QuitPosted());
    EXPECT_TRUE(Page()->IsWindowVisible());
    ASSERT_TRUE(ui.Click(IDC_FINISHED_BUTTON));
    EXPECT_TRUE(ui.QuitPosted());
    EXPECT_TRUE(ui.MessageBoxes().empty());
}

TEST_F(WizardPagesTest, EachPageGivesTheTitleFontToItsMarkedControlsInOrder) {
    struct Case {
        int step;
        std::vector<int> controls;
    } cases[] = {
        {stepWelcome, {1003, 1002}},
        {stepInstalling, {1003, 1005, 1002}},
        {stepComplete, {1003, 1005}},
        {stepFailed, {1003, 1005, 1013}},
    };
    CreateHost();
    for (const Case& c : cases) {
        ui.ClearSentMessages();
        SwitchStep(c.step, theApp);
        std::vector<int> fonts;
        for (const auto& m : ui.SentMessages()) {
            if (m.message != afx::WM_SETFONT) continue;
            EXPECT_EQ(m.wParam, reinterpret_cast<afx::WPARAM>(TitleFont()));
            EXPECT_EQ(m.lParam, afx::TRUE);
            fonts.push_back(m.controlId);
        }
        EXPECT_EQ(fonts, c.controls) << c.step;
        // Every control marked bound is a member object of the page class.
        const afx::DialogTemplate* layout = FindDialogLayout(Page()->TemplateId());
        ASSERT_NE(layout, nullptr);
        const char* begin = reinterpret_cast<const char*>(Page());
        const char* end = begin + 4096;  // well within any page object, well short of the next
        for (const afx::ControlTemplate& control : layout->controls) {
            if (!control.bound) continue;
            const char* at = reinterpret_cast<const char*>(Page()->GetDlgItem(control.id));
            EXPECT_TRUE(at > begin && at < end) << c.step << " " << control.id;
        }
    }
}

TEST_F(WizardPagesTest, TheHostKeepsThePageOverItsClientArea) {
    CPatchwellDlg& dialog = CreateHost();
    ui.Paint(dialog);
    afx::POINT origin;
    dialog.ClientToScreen(&origin);
    EXPECT_EQ(Page()->State().x, origin.x);
    EXPECT_EQ(Page()->State().y, origin.y);
    EXPECT_EQ(Page()->State().insertAfter, dialog.GetSafeHwnd());
    int width = Page()->State().width;

    // Each move step places the page where the client area was before it.
    ASSERT_TRUE(ui.Drag(40, 25));
    EXPECT_EQ(Page()->State().x, origin.x);
    ASSERT_TRUE(ui.Drag(10, 5));
    EXPECT_EQ(Page()->State().x, origin.x + 40);
    EXPECT_EQ(Page()->State().y, origin.y + 25);
    ui.Paint(dialog);
    EXPECT_EQ(Page()->State().x, origin.x + 50);
    EXPECT_EQ(Page()->State().y, origin.y + 30);
    EXPECT_EQ(Page()->State().width, width);

    // Minimised, the host paints its icon and leaves the page alone.
    ui.Minimise(dialog, true);
    ASSERT_TRUE(ui.Drag(100, 100));
    ui.Minimise(dialog, false);
    EXPECT_EQ(Page()->State().x, origin.x + 50);
    ASSERT_TRUE(ui.PressEnter());
    EXPECT_EQ(theApp.currentStep, stepWelcome);
}

TEST_F(WizardPagesTest, BeforeTheFirstPageThePlacementDoesNothing) {
    auto early = std::make_unique<CPatchwellDlg>(nullptr);
    early->SendMessage(afx::WM_PAINT);
    early->SendMessage(afx::WM_MOVING, 0, 0);
    EXPECT_EQ(theApp.currentStep, 0);
    EXPECT_EQ(Page(), nullptr);
}

}  // namespace
