// The finishing steps with folders whose query failed: nothing is made at
// the root of a drive, and each gap is one error line.
#include <gtest/gtest.h>

#include "core/installer_state.h"
#include "platform/fault.h"
#include "support/log_capture.h"
#include "support/scratch_machine.h"
#include "system/shortcuts.h"

namespace {

class UnknownFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = {theApp.startMenuFolder, theApp.desktopFolder, theApp.installFolder, theApp.builderFolder,
                 theApp.appDataFolder};
        theApp.startMenuFolder = root + "\\Programs/AerovinRC";
        theApp.desktopFolder = root + "\\Desktop";
        theApp.installFolder = root + "\\Games\\AerovinRC";
        theApp.builderFolder = root + "\\Games\\AerovinBuilder";
        theApp.appDataFolder = root + "\\Roaming/AerovinRC";
        theApp.createStartMenuShortcuts = theApp.createDesktopShortcuts = true;
        machine.MakeFolder(root + "\\Desktop");
        machine.MakeFolder(root + "\\Programs");
    }
    void TearDown() override {
        theApp.startMenuFolder = saved[0];
        theApp.desktopFolder = saved[1];
        theApp.installFolder = saved[2];
        theApp.builderFolder = saved[3];
        theApp.appDataFolder = saved[4];
        theApp.createStartMenuShortcuts = theApp.createDesktopShortcuts = false;
    }

    ScratchMachine machine;
    LogCapture log;
    plat::fault::Scope faults;
    std::string root = machine.Root();
    std::vector<std::string> saved;
};

TEST_F(UnknownFoldersTest, NoShortcutIsMadeInAnUnknownStartMenuOrDesktopFolder) {
    theApp.startMenuFolder.clear();
    theApp.desktopFolder.clear();
    theApp.CreateShortcuts();
    EXPECT_EQ(log.Text().substr(0, log.Text().find("Creating registry keys")),
              "Creating shortcuts:\n"
              "Error: the start menu folder is unknown; no Start-menu shortcuts are created\n"
              "Error: the desktop folder is unknown; no desktop shortcuts are created\n");
    EXPECT_FALSE(machine.Exists("C:\\AerovinRC.lnk"));
    EXPECT_FALSE(machine.Exists("C:\\User Guide"));
}

TEST_F(UnknownFoldersTest, ALinkWhoseTargetFolderIsUnknownIsNotMadeAndTheOthersAre) {
    theApp.appDataFolder.clear();
    theApp.createDesktopShortcuts = false;
    theApp.CreateShortcuts();
    std::string menu = root + "\\Programs/AerovinRC";
    EXPECT_TRUE(log.Contains("  Creating shortcut: " + menu +
                             "/Uninstall.lnk\nError: the application data folder is unknown; " + menu +
                             "/Uninstall.lnk is not created\n"))
        << log.Text();
    EXPECT_TRUE(log.Contains("Error: a folder of value UninstallString is unknown; the value is not written\n"));
    EXPECT_TRUE(machine.Exists(menu + "\\AerovinRC.lnk"));
    EXPECT_FALSE(machine.Exists(menu + "\\Uninstall.lnk"));
}

TEST_F(UnknownFoldersTest, ShortcutsOutsideTheInstallersFoldersAreRefused) {
    EXPECT_FALSE(CreateShortcut("C:\\users\\Public\\Desktop\\Other program.lnk", "C:\\x.exe", "d", ""));
    EXPECT_EQ(log.Text(),
              "Creating shortcut: C:\\users\\Public\\Desktop\\Other program.lnk -> C:\\x.exe (d)...Refused: outside "
              "the installer's folders\n");
    EXPECT_FALSE(machine.Exists("C:\\users\\Public\\Desktop\\Other program.lnk"));
}

TEST_F(UnknownFoldersTest, TheFirewallRegistersNoProgramOfAnUnknownInstallation) {
    theApp.installFolder.clear();
    theApp.SetUpFirewall();
    EXPECT_EQ(log.Text(),
              "Setting up Windows Firewall:\n"
              "Error: the installation folder is unknown; no application is registered\n"
              "Success\n");
}

}  // namespace
