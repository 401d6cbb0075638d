#include "preserve/preparation.h"

#include "preserve/settings_transfer.h"
#include "preserve_fixture.h"

namespace {

const char kUser[] = "C:\\scratch\\Documents/AerovinRC";

// What SavePreviousSettings logs for user data that holds no settings files
// and no content of the user's own.
std::string NothingSavedLog() {
    std::string user = kUser;
    return "Saving previous options...Error - could not open file: " + user + "/Settings/options.sim\nDone\n"
           "Saving installed sites...Error - could not open file: " + user + "/Settings/installedUpdates.vrx\nDone\n"
           "Saving previous calibration...Error - could not open file: " + user + "/Settings/controller_0.vxt\n"
           "Creating folder: C:\\scratch\\Documents/AerovinTemp...Done\n"
           "Done\n";
}

class PreparationTest : public PreserveTest {
protected:
    PreparationTest() { state.statusText = &status; }

    void MakePreviousInstallation() {
        WriteUserFile("/a.txt", "new");
        machine.WriteFile(state.startMenuFolder + "/Sim.lnk", "link");
        machine.WriteFile(state.desktopFolder + "/AerovinRC.lnk", "link");
        machine.WriteFile(state.desktopFolder + "/Other.lnk", "link");
        machine.WriteFile(state.builderFolder + "/b.exe", "tool");
    }

    afx::CStatic status;
};

TEST_F(PreparationTest, WithoutBackupTheDeletionsFollowTheSavingAndMissingFoldersAreCreated) {
    MakePreviousInstallation();
    machine.WriteFile(state.userDataFolder + "_backup/x.txt", "earlier");
    PrepareInstallation(state);
    // The registry clean-up and the firewall log their own lines between these parts.
    const std::string& text = log.Text();
    std::string removal = "Starting install process:\n" + NothingSavedLog() +
                          "Deleting previous files:\n"
                          "  Deleting C:\\scratch\\Documents/AerovinRC\n"
                          "Deleting file: C:\\scratch\\Documents/AerovinRC/a.txt...Done\n"
                          "Deleting folder: C:\\scratch\\Documents/AerovinRC...Done\n"
                          "  Deleting C:\\scratch\\Programs/AerovinRC\n"
                          "Deleting file: C:\\scratch\\Programs/AerovinRC/Sim.lnk...Done\n"
                          "Deleting folder: C:\\scratch\\Programs/AerovinRC...Done\n"
                          "  Deleting C:\\scratch\\Desktop/AerovinRC.lnk\n"
                          "  Deleting C:\\scratch\\Desktop/Aerovin Builder.lnk\n"
                          "  Deleting C:\\scratch\\Games\\Aerovin Builder\n"
                          "Deleting file: C:\\scratch\\Games\\Aerovin Builder/b.exe...Done\n"
                          "Deleting folder: C:\\scratch\\Games\\Aerovin Builder...Done\n"
                          "  Deleting C:\\scratch\\Documents/AerovinBuilder\n";
    EXPECT_EQ(text.substr(0, removal.size()), removal);
    std::string recreation =
        "Creating folder: C:\\scratch\\Documents/AerovinRC...Done\n"
        "Creating folder: C:\\scratch\\AppData/AerovinRC...Done\n"
        "Creating folder: C:\\scratch\\Documents/AerovinBuilder...Done\n"
        "Creating folder: C:\\scratch\\Games\\Aerovin Builder...Done\n";
    EXPECT_TRUE(log.Contains(recreation)) << text;
    EXPECT_FALSE(log.Contains("Program Files...")) << text;
    EXPECT_FALSE(log.Contains("_backup")) << text;
    EXPECT_EQ(text.substr(text.size() - 5), "Done\n");

    EXPECT_EQ(machine.ReadFile(state.userDataFolder + "_backup/x.txt"), "earlier");
    EXPECT_FALSE(machine.Exists(state.userDataFolder + "_backup/a.txt"));
    EXPECT_FALSE(machine.Exists(state.desktopFolder + "/AerovinRC.lnk"));
    EXPECT_TRUE(machine.Exists(state.desktopFolder + "/Other.lnk"));
    EXPECT_FALSE(machine.Exists(state.startMenuFolder));
    for (const std::string* folder : {&state.userDataFolder, &state.appDataFolder, &state.userBuilderFolder,
                                      &state.builderFolder})
        EXPECT_TRUE(machine.Exists(*folder)) << *folder;
    EXPECT_FALSE(machine.Exists(state.builderFolder + "/b.exe"));
    EXPECT_EQ(status.GetWindowText(), "Removing previous files...");
    EXPECT_EQ(status.State().repaints, 1);
}

TEST_F(PreparationTest, TheBackupMergesIntoAnEarlierOne) {
    WriteUserFile("/a.txt", "new");
    machine.WriteFile(state.userDataFolder + "_backup/a.txt", "old");
    machine.WriteFile(state.userDataFolder + "_backup/x.txt", "earlier");
    state.backupSettings = true;
    PrepareInstallation(state);
    EXPECT_TRUE(log.Contains(NothingSavedLog() +
                             "Backing-up files:\n"
                             "  Copying C:\\scratch\\Documents/AerovinRC to C:\\scratch\\Documents/AerovinRC_backup\n"
                             "Creating folder: C:\\scratch\\Documents/AerovinRC_backup...Failed (183)\n"
                             "Copying: C:\\scratch\\Documents/AerovinRC/a.txt -> "
                             "C:\\scratch\\Documents/AerovinRC_backup/a.txt...Done\n"
                             "done\n"
                             "Deleting previous files:\n"))
        << log.Text();
    EXPECT_EQ(machine.ReadFile(state.userDataFolder + "_backup/a.txt"), "new");
    EXPECT_EQ(machine.ReadFile(state.userDataFolder + "_backup/x.txt"), "earlier");
    EXPECT_EQ(status.GetWindowText(), "Removing previous files...");
    EXPECT_EQ(status.State().repaints, 2);  // "Backing up files..." was shown first
}

TEST_F(PreparationTest, AMissingUserDataFolderIsOnlyNamedThenCreated) {
    PrepareInstallation(state);
    EXPECT_TRUE(log.Contains("Deleting previous files:\n"
                             "  Deleting C:\\scratch\\Documents/AerovinRC\n"
                             "  Deleting C:\\scratch\\Programs/AerovinRC\n"))
        << log.Text();
    EXPECT_TRUE(log.Contains("Creating folder: C:\\scratch\\Documents/AerovinRC...Done\n")) << log.Text();
    EXPECT_TRUE(machine.Exists(state.userDataFolder));
}

TEST_F(PreparationTest, AFailedStashKeepsThePreviousUserData) {
    WriteUserFile("/Flying sites/f.site", "site");
    WriteUserFile("/Schemes/s.col", "scheme");
    plat::fault::Inject("CopyFileA", plat::kErrorDiskFull, "AerovinTemp/sites/f.site");
    PrepareInstallation(state);
    EXPECT_TRUE(log.Contains("Deleting previous files:\n"
                             "Error: could not save all of the user's own content; the previous user data is kept "
                             "in C:\\scratch\\Documents/AerovinRC\n"
                             "  Deleting C:\\scratch\\Programs/AerovinRC\n"))
        << log.Text();
    EXPECT_EQ(machine.ReadFile(UserFile("/Flying sites/f.site")), "site");
    EXPECT_FALSE(log.Contains("Creating folder: C:\\scratch\\Documents/AerovinRC...")) << log.Text();
    plat::fault::Clear();
    RestorePreviousSettings(state);
    EXPECT_EQ(machine.ReadFile(UserFile("/Downloaded/Schemes/User-made/s.col")), "scheme");
}

TEST_F(PreparationTest, TwoRunsInARowKeepTheUsersSitesAndSettings) {
    WriteUserFile("/Flying sites/f.site", "site");
    WriteUserFile("/Settings/options.sim", "options.language = \"de\"\r\n");
    WriteUserFile("/Settings/controller_0.vxt", std::string(352, '\x01'));
    for (int run = 0; run < 2; ++run) {
        PrepareInstallation(state);
        machine.WriteFile(UserFile("/Settings/options.sim"), "");  // what the packages bring
        RestorePreviousSettings(state);
        EXPECT_EQ(machine.ReadFile(UserFile("/Downloaded/Sites/User-made/f.site")), "site") << run;
        std::string options = machine.ReadFile(UserFile("/Settings/options.sim"));
        EXPECT_NE(options.find("options.language = \"de\"\r\n"), std::string::npos) << run << options;
        EXPECT_EQ(machine.ReadFile(UserFile("/Settings/controller_0.vxt")), std::string(96, '\x01')) << run;
        EXPECT_FALSE(machine.Exists(state.documentsFolder + "/AerovinTemp")) << run;
    }
}

}  // namespace
