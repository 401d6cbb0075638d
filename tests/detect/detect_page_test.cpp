#include "detect/detect_page.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/installer_state.h"
#include "core/step_machine.h"
#include "detect/version_rules.h"
#include "platform/ui/ui_backend.h"
#include "support/fresh_installer_state.h"
#include "support/log_capture.h"
#include "support/scratch_machine.h"
#include "ui/resource_ids.h"

namespace {

// Remembers the timers and lets the test fire them; no screen.
class RecordingBackend : public afx::UiBackend {
public:
    struct Timer {
        afx::HWND window;
        afx::UINT_PTR id;
        afx::UINT elapse;
        afx::TIMERPROC callback;
        bool killed = false;
        std::size_t logWhenKilled = 0;
    };
    explicit RecordingBackend(const LogCapture& log) : log(log) {}

    afx::INT_PTR RunModal(afx::CDialogEx&) override { return afx::IDCANCEL; }
    int MessageBox(afx::HWND, const std::string&, const std::string&, afx::UINT) override {
        ++messageBoxes;
        return afx::IDNO;
    }
    void PostQuit(int) override {}
    afx::UINT_PTR SetTimer(afx::HWND window, afx::UINT_PTR id, afx::UINT elapse, afx::TIMERPROC callback) override {
        timers.push_back(Timer{window, id, elapse, callback});
        return 1;
    }
    afx::BOOL KillTimer(afx::HWND window, afx::UINT_PTR id) override {
        for (Timer& timer : timers) {
            if (timer.window == window && timer.id == id && !timer.killed) {
                timer.killed = true;
                timer.logWhenKilled = log.Text().size();
                return afx::TRUE;
            }
        }
        return afx::FALSE;
    }
    // Delivers the timer's message once, as the system would while it runs.
    void Fire(std::size_t index) {
        Timer timer = timers.at(index);
        if (!timer.killed) timer.callback(timer.window, 0x0113 /* WM_TIMER */, timer.id, 0);
    }

    std::vector<Timer> timers;
    int messageBoxes = 0;

private:
    const LogCapture& log;
};

class DetectPageTest : public ::testing::Test {
protected:
    FreshInstallerState fresh;  // first in, last out
    DetectPageTest() {
        afx::SetUiBackend(&backend);
        theApp.installerFolder = "C:\\Update";
        theApp.currentStep = stepDetect;
        theApp.failureReason.clear();
        theApp.installFolder.clear();
        theApp.installedVersion = VersionNumber{};
        theApp.createStartMenuShortcuts = theApp.createDesktopShortcuts = theApp.backupSettings = false;
        theApp.titleFont = std::make_unique<afx::CFont>();
        theApp.titleFont->CreateFont(-21, 700, "Verdana");
    }
    ~DetectPageTest() override {
        page.reset();
        theApp.titleFont.reset();
        afx::SetUiBackend(nullptr);
    }

    // Creates the page as the step machine does, with the initial states of
    // the dialog's layout where its logic depends on them.
    CDlgDetectVersion& OpenPage() {
        page = std::make_unique<CDlgDetectVersion>();
        page->Create(IDD_DETECT_VERSION);
        page->ShowWindow(afx::SW_SHOW);
        page->searchingText.ShowWindow(afx::SW_SHOW);
        page->progressBar.ShowWindow(afx::SW_SHOW);
        page->locationLabel.ShowWindow(afx::SW_HIDE);
        page->location.ShowWindow(afx::SW_HIDE);
        page->location.EnableWindow(afx::FALSE);
        page->continueButton.EnableWindow(afx::FALSE);
        return *page;
    }
    void MakeInstallation(const std::string& folder, const char* version) const {
        machine.WriteFile(folder + "\\AerovinRC.exe", "MZ");
        if (version) machine.WriteFile(folder + "\\AerovinRC.ver", version);
    }

    ScratchMachine machine;
    CurrentDirRestorer restorer;
    LogCapture log;
    RecordingBackend backend{log};
    std::unique_ptr<CDlgDetectVersion> page;
};

TEST_F(DetectPageTest, OpensTickedWithContinueDisabledAndSearchesOnceAQuarterSecondLater) {
    MakeInstallation("C:\\AerovinRC", "5.0.r\r\n");
    CDlgDetectVersion& p = OpenPage();
    EXPECT_EQ(detectPage, &p);
    for (afx::CButton* box : {&p.startMenuBox, &p.desktopBox, &p.backupBox})
        EXPECT_EQ(box->State().check, afx::BST_CHECKED) << box->GetDlgCtrlID();
    afx::HFONT font = theApp.titleFont->GetSafeHandle();
    EXPECT_EQ(p.heading.State().font, font);
    EXPECT_EQ(p.groupBox.State().font, font);
    EXPECT_EQ(p.continueButton.State().font, font);
    EXPECT_EQ(p.searchingText.State().font, nullptr);
    EXPECT_EQ(p.GetDlgItem(1010), &p.location);
    EXPECT_EQ(p.GetDlgItem(1008), &p.progressBar);

    ASSERT_EQ(backend.timers.size(), 1u);
    EXPECT_EQ(backend.timers[0].window, p.GetSafeHwnd());
    EXPECT_EQ(backend.timers[0].id, 0u);
    EXPECT_EQ(backend.timers[0].elapse, 250u);
    EXPECT_EQ(backend.timers[0].callback, &DetectTimerProc);
    EXPECT_EQ(log.Text(), "");
    EXPECT_FALSE(p.continueButton.IsWindowEnabled());

    backend.Fire(0);
    EXPECT_TRUE(backend.timers[0].killed);
    EXPECT_EQ(backend.timers[0].logWhenKilled, 0u);  // stopped before the search began
    backend.Fire(0);                                  // a late tick finds the timer gone
    EXPECT_EQ(log.Text(),
              "  Checking: C:\\Update...Not found\n"
              "  Checking: C:\\AerovinRC...Found\n"
              "Found previous installation at C:\\AerovinRC\n"
              "Installation folder set to: C:\\AerovinRC\n"
              "Builder path set to: C:\\AerovinBuilder\n"
              "Version file detected\n"
              "  Version detected: 5.0.r\n");
    EXPECT_FALSE(p.progressBar.IsWindowVisible());
    EXPECT_FALSE(p.searchingText.IsWindowVisible());
    EXPECT_TRUE(p.locationLabel.IsWindowVisible());
    EXPECT_TRUE(p.location.IsWindowVisible());
    EXPECT_FALSE(p.location.IsWindowEnabled());  // it only displays the folder
    EXPECT_EQ(p.location.GetWindowText(), "C:\\AerovinRC");
    EXPECT_TRUE(p.continueButton.IsWindowEnabled());
    EXPECT_EQ(theApp.currentStep, stepDetect);  // the user still has to press Continue
}

TEST_F(DetectPageTest, ContinueStoresTheThreeChoicesAndMovesToTheInstallingPage) {
    MakeInstallation("C:\\Program Files\\AerovinRC", nullptr);  // no version file: 1.0.a
    CDlgDetectVersion& p = OpenPage();
    backend.Fire(0);
    p.desktopBox.SetCheck(afx::BST_UNCHECKED);
    EXPECT_FALSE(p.OnCommand(1012));  // the box ticks itself; the page does not react
    log.Clear();
    EXPECT_TRUE(p.OnCommand(1007));
    EXPECT_EQ(log.Text(), "");
    EXPECT_TRUE(theApp.createStartMenuShortcuts);
    EXPECT_FALSE(theApp.createDesktopShortcuts);
    EXPECT_TRUE(theApp.backupSettings);
    EXPECT_EQ(theApp.installedVersion, ParseVersion("1.0.a"));
    EXPECT_EQ(theApp.currentStep, stepInstalling);
    EXPECT_EQ(theApp.failureReason, "");
}

TEST_F(DetectPageTest, AVersionOutOfRangeLeadsToTheFailurePageWithItsReason) {
    struct Case {
        const char* file;
        const char* reason;
    } cases[] = {
        {"5.1.a\r\n", "Version \"5.1.a\" is installed - You must have at least version \"0.0.a\" to continue."},
        {"5.0.s", "Version \"5.0.s\" is installed - You must have at least version \"0.0.a\" to continue."},
        {"-1.0.a", "Version \"-1.0.a\" is installed - You must have at least version \"0.0.a\" to continue."},
        {"0.0.A", "Version \"0.0.A\" is installed - You must have at least version \"0.0.a\" to continue."},
    };
    for (const Case& c : cases) {
        MakeInstallation("C:\\AerovinRC", c.file);
        theApp.currentStep = stepDetect;
        backend.timers.clear();
        CDlgDetectVersion& p = OpenPage();
        backend.Fire(0);
        log.Clear();
        p.OnCommand(1007);
        EXPECT_EQ(log.Text(), "Invalid version\n") << c.file;
        EXPECT_EQ(theApp.failureReason, c.reason);
        EXPECT_EQ(theApp.currentStep, stepFailed);
        EXPECT_FALSE(theApp.createStartMenuShortcuts || theApp.createDesktopShortcuts || theApp.backupSettings);
    }
}

TEST_F(DetectPageTest, NoInstallationLeadsToTheFailurePageAsSoonAsTheSearchEnds) {
    CDlgDetectVersion& p = OpenPage();
    backend.Fire(0);
    EXPECT_TRUE(log.Text().starts_with("  Checking: C:\\Update...Not found\n"
                                       "  Checking: C:\\AerovinRC...Not found\n"));
    EXPECT_TRUE(log.Text().ends_with("...Not found\nError: No previous installation found\n"));
    EXPECT_FALSE(log.Contains("Installation folder set to"));
    EXPECT_EQ(theApp.failureReason, "Could not detect any previously installed version.");
    EXPECT_EQ(theApp.currentStep, stepFailed);
    EXPECT_FALSE(p.continueButton.IsWindowEnabled());
    EXPECT_GT(p.progressBar.State().repaints, 0);  // moved during the search
}

TEST_F(DetectPageTest, EnterAndEscapeDoNothing) {
    CDlgDetectVersion& p = OpenPage();
    EXPECT_TRUE(p.OnCommand(afx::IDOK));
    EXPECT_TRUE(p.OnCommand(afx::IDCANCEL));
    EXPECT_TRUE(p.IsWindowVisible());
    EXPECT_EQ(theApp.currentStep, stepDetect);
    EXPECT_EQ(log.Text(), "");
    EXPECT_TRUE(p.OnCommand(1001));  // Cancel asks the exit question
}

}  // namespace
