// The answers both programs give the wizard when they run unattended: the
// whole wizard on the headless backend, played by the shared driver alone.
#include "main/unattended_answers.h"

#include <gtest/gtest.h>

#include "packages/writer/package_writer.h"
#include "ui/wizard_fixture.h"

namespace {

class UnattendedAnswersTest : public WizardTest {
protected:
    // An installation of version beside the program.
    void PlantInstallation(const std::string& version) {
        machine.WriteFile("C:\\Sim\\AerovinRC.exe", "old");
        machine.WriteFile("C:\\Sim\\AerovinRC.ver", version + "\n");
    }
    int Run(const UnattendedChoices& choices) {
        // The installation is searched for beside the program first.
        plat::posix::SetCommandLine("\"C:\\Sim\\AerovinPatchwell.exe\" /unattended");
        ui.SetDriver(UnattendedDriver(choices));
        theApp.InitInstance();
        ui.SetDriver(nullptr);
        return UnattendedExitStatus();
    }
};

TEST_F(UnattendedAnswersTest, AcceptsEveryDefaultAndEndsComplete) {
    PlantInstallation("4.2.c");
    machine.WriteFile("C:\\Sim\\AerovinRC_update1.pkg",
                      pkgwriter::BuildPackage({{0, {pkgwriter::File("readme.txt", "new")}}}));
    EXPECT_EQ(Run(UnattendedChoices{}), kExitComplete);
    EXPECT_EQ(theApp.currentStep, stepComplete);
    EXPECT_TRUE(theApp.createStartMenuShortcuts);
    EXPECT_TRUE(theApp.createDesktopShortcuts);
    EXPECT_TRUE(theApp.backupSettings);
    EXPECT_EQ(Calls().calls.front(), "prepare");
    EXPECT_EQ(Calls().calls.back(), "restore");
    // Never the simulator, never the exit question.
    EXPECT_TRUE(ui.MessageBoxes().empty());
    EXPECT_FALSE(ui.TimedOut());
}

TEST_F(UnattendedAnswersTest, ClearsTheBoxesTheAdministratorTurnedOff) {
    PlantInstallation("4.2.c");
    machine.WriteFile("C:\\Sim\\AerovinRC_update1.pkg",
                      pkgwriter::BuildPackage({{0, {pkgwriter::File("readme.txt", "new")}}}));
    UnattendedChoices choices;
    choices.desktopShortcuts = false;
    choices.backup = false;
    EXPECT_EQ(Run(choices), kExitComplete);
    EXPECT_TRUE(theApp.createStartMenuShortcuts);
    EXPECT_FALSE(theApp.createDesktopShortcuts);
    EXPECT_FALSE(theApp.backupSettings);
}

TEST_F(UnattendedAnswersTest, FailuresEndWithStatusOneAndTheReason) {
    EXPECT_EQ(Run(UnattendedChoices{}), kExitFailed);  // no installation anywhere
    EXPECT_EQ(theApp.failureReason, "Could not detect any previously installed version.");
    EXPECT_TRUE(Calls().calls.empty());

    ResetInstallerState();
    theApp.titleFont = std::make_unique<afx::CFont>();
    ui.ClearQuit();
    PlantInstallation("5.1.a");
    EXPECT_EQ(Run(UnattendedChoices{}), kExitFailed);
    EXPECT_EQ(theApp.failureReason,
              "Version \"5.1.a\" is installed - You must have at least version \"0.0.a\" to continue.");
    EXPECT_TRUE(Calls().calls.empty());
}

TEST_F(UnattendedAnswersTest, AWizardLeftBeforeTheEndIsStatusThree) {
    theApp.currentStep = stepInstalling;
    EXPECT_EQ(UnattendedExitStatus(), kExitLeft);
    theApp.currentStep = stepWelcome;
    EXPECT_EQ(UnattendedExitStatus(), kExitLeft);
}

}  // namespace
