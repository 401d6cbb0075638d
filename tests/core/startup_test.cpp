#include "core/startup.h"

#include "platform/platform.h"
#include "ui/resource_ids.h"
#include "ui/wizard_fixture.h"

namespace {

TEST(InstallerFolder, IsTheFolderOfTheProgramNamedFirst) {
    struct Case {
        const char* commandLine;
        const char* folder;
    } cases[] = {
        {"\"C:\\Games\\Update\\patch.exe\"", "C:\\Games\\Update"},
        {"\"C:\\Games\\Update\\patch.exe\" ", "C:\\Games\\Update"},
        {"C:\\x\\patch.exe", "C:\\x"},                                 // the first character stays
        {"\"C:\\Games\\patch.exe\" D:\\other\\arg", "C:\\Games"},      // an argument never decides the cut
        {"C:\\x\\patch.exe D:\\other\\arg", "C:\\x"},
        {"C:\\x\\patch.exe\tD:\\other\\arg", "C:\\x"},
        {"\"C:\\Program Files\\Up\\patch.exe\" /s", "C:\\Program Files\\Up"},
        {"\"C:/Games/Update/patch.exe\"", "C:/Games/Update"},
        {"\"C:\\Games\\Update\\patch.exe", "C:\\Games\\Update"},       // no closing quote
        {"\"C:\\patch.exe\"", "C:"},
        {"a", ""},
        {"ab", ""},
        {"\\a", ""},
        {"patch.exe", ""},
        {"\"patch.exe\" C:\\x\\y", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(InstallerFolderFromCommandLine(c.commandLine), c.folder) << c.commandLine;
}

class StartupTest : public WizardTest {
protected:
    std::string Folder(int csidl) {
        std::string folder;
        plat::FolderPath(csidl, &folder);
        return folder;
    }
};

TEST_F(StartupTest, DeriveFoldersFillsTheEightStrings) {
    plat::posix::SetCommandLine("\"C:\\Updates\\V5\\AerovinPatchwell.exe\" ");
    theApp.installFolder = "kept";
    DeriveFolders(theApp);
    std::string documents = Folder(plat::kCsidlPersonal);
    ASSERT_FALSE(documents.empty());
    EXPECT_EQ(theApp.installerFolder, "C:\\Updates\\V5");
    EXPECT_EQ(theApp.programFilesFolder, Folder(plat::kCsidlProgramFiles));
    EXPECT_EQ(theApp.userDataFolder, documents + "/AerovinRC");
    EXPECT_EQ(theApp.documentsFolder, documents);
    EXPECT_EQ(theApp.appDataFolder, Folder(plat::kCsidlAppData) + "/AerovinRC");
    EXPECT_EQ(theApp.startMenuFolder, Folder(plat::kCsidlCommonPrograms) + "/AerovinRC");
    EXPECT_EQ(theApp.desktopFolder, Folder(plat::kCsidlCommonDesktop));
    EXPECT_EQ(theApp.userBuilderFolder, documents + "/AerovinBuilder");
    EXPECT_EQ(theApp.installFolder, "kept");
    EXPECT_EQ(log.Text(), "");
}

TEST_F(StartupTest, AFailedFolderQueryLeavesItsFoldersEmpty) {
    plat::fault::Inject("SHGetFolderPathA", plat::kErrorAccessDenied, "26");
    DeriveFolders(theApp);
    EXPECT_EQ(theApp.appDataFolder, "");  // not "/AerovinRC", a folder below the drive's root
    EXPECT_FALSE(theApp.documentsFolder.empty());
    plat::fault::Clear();
    // "5" also matches CSIDL 25, the all-users desktop.
    plat::fault::Inject("SHGetFolderPathA", plat::kErrorAccessDenied, "5");
    DeriveFolders(theApp);
    EXPECT_EQ(theApp.documentsFolder, "");
    EXPECT_EQ(theApp.userDataFolder, "");
    EXPECT_EQ(theApp.userBuilderFolder, "");
    EXPECT_EQ(theApp.desktopFolder, "");
    EXPECT_EQ(theApp.appDataFolder, Folder(plat::kCsidlAppData) + "/AerovinRC");
}

// Runs the installer as the program does, leaving at once by the close
// button (answered Yes) after the driver wrote its lines to the log.
void RunInstaller(afx::HeadlessBackend& ui, const std::string& lines) {
    ui.AnswerNextMessageBox(afx::IDYES);
    ui.SetDriver([lines](afx::HeadlessBackend& backend) {
        if (backend.Now() < 300 || backend.OpenMessageBox()) return;
        LogText(lines);
        backend.Close();
    });
    EXPECT_FALSE(theApp.InitInstance());
    ui.SetDriver(nullptr);
}

TEST_F(StartupTest, InitInstanceRecreatesTheLogInDocumentsWithCrLfAndRunsTheHostModally) {
    std::string logPath = Folder(plat::kCsidlPersonal) + "\\AerovinPatchwell.log";
    theApp.titleFont.reset();
    RunInstaller(ui, "first run\nsecond line\n");
    EXPECT_EQ(machine.ReadFile(logPath), "first run\r\nsecond line\r\n");
    EXPECT_TRUE(ui.QuitPosted());
    EXPECT_EQ(ui.QuitCode(), 1);
    EXPECT_EQ(ui.MessageBoxes().size(), 1u);
    EXPECT_EQ(theApp.currentStep, stepWelcome);
    ASSERT_NE(theApp.titleFont, nullptr);
    EXPECT_EQ(theApp.titleFont->Face(), "Arial");
    EXPECT_EQ(theApp.titleFont->Height(), -18);
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);  // the host is gone, and nothing points at it
    EXPECT_EQ(hostDialog, nullptr);
    EXPECT_EQ(theApp.currentPage, nullptr);
    EXPECT_TRUE(ui.Timers().empty());       // the pump went with the host

    ui.ClearQuit();
    ResetInstallerState();
    RunInstaller(ui, "again\n");
    EXPECT_EQ(machine.ReadFile(logPath), "again\r\n");  // replaced, not appended
}

TEST_F(StartupTest, TheHostIsTheCentredCaptionedWindowOfItsTemplate) {
    CPatchwellDlg& dialog = CreateHost();
    const afx::WindowState& s = dialog.State();
    EXPECT_EQ(s.text, "Aerovin V5 Patchwell");
    EXPECT_EQ(s.style, 0x90CE0040u);
    EXPECT_EQ(s.exStyle, 0x00040000u);
    EXPECT_TRUE(s.visible);
    EXPECT_EQ(s.bigIcon, s.smallIcon);
    EXPECT_NE(s.bigIcon, nullptr);
    EXPECT_EQ(dialog.SendMessage(afx::WM_QUERYDRAGICON), reinterpret_cast<afx::LRESULT>(s.bigIcon));
    EXPECT_NEAR(s.x + s.width / 2, afx::HeadlessBackend::kScreenWidth / 2, 1);
    EXPECT_TRUE(dialog.Children().empty());
}

}  // namespace
