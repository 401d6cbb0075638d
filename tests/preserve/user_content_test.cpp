#include "preserve/user_content.h"

#include "core/file_ops.h"
#include "preserve/settings_transfer.h"
#include "preserve_fixture.h"

namespace {

const char kHolding[] = "C:\\scratch\\Documents/AerovinTemp";

class UserContentTest : public PreserveTest {
protected:
    // The user data goes, as preparation removes it, and the packages bring
    // nothing of the user's back.
    void RemoveUserData() {
        DeleteFolderTree(state.userDataFolder);
        ASSERT_FALSE(machine.Exists(state.userDataFolder));
    }
};

TEST_F(UserContentTest, AFirstUpdateMovesSchemesAndSitesUnderUserMade) {
    WriteUserFile("/Settings/mappingProfiles/Custom/p.map", "profile");
    WriteUserFile("/Schemes/s.col", "scheme");
    WriteUserFile("/Flying sites/f.site", "site");
    EXPECT_TRUE(SavePreviousSettings(state));
    std::string user = "C:\\scratch\\Documents/AerovinRC";
    EXPECT_EQ(log.Text(),
              "Saving previous options...Error - could not open file: " + user + "/Settings/options.sim\nDone\n"
              "Saving installed sites...Error - could not open file: " + user + "/Settings/installedUpdates.vrx\n"
              "Done\n"
              "Saving previous calibration...Error - could not open file: " + user + "/Settings/controller_0.vxt\n"
              "Creating folder: C:\\scratch\\Documents/AerovinTemp...Done\n"
              "Creating folder: C:\\scratch\\Documents/AerovinTemp/profiles...Done\n"
              "Copying: " + user + "/Settings/mappingProfiles/Custom/p.map -> "
              "C:\\scratch\\Documents/AerovinTemp/profiles/p.map...Done\n"
              "Creating folder: C:\\scratch\\Documents/AerovinTemp/schemes...Done\n"
              "Copying: " + user + "/Schemes/s.col -> C:\\scratch\\Documents/AerovinTemp/schemes/s.col...Done\n"
              "Creating folder: C:\\scratch\\Documents/AerovinTemp/sites...Done\n"
              "Copying: " + user + "/Flying sites/f.site -> C:\\scratch\\Documents/AerovinTemp/sites/f.site...Done\n"
              "Done\n");
    RemoveUserData();
    log.Clear();
    RestorePreviousSettings(state);
    EXPECT_EQ(machine.ReadFile(UserFile("/Settings/mappingProfiles/Custom/p.map")), "profile");
    EXPECT_EQ(machine.ReadFile(UserFile("/Downloaded/Schemes/User-made/s.col")), "scheme");
    EXPECT_EQ(machine.ReadFile(UserFile("/Downloaded/Sites/User-made/f.site")), "site");
    EXPECT_FALSE(machine.Exists(UserFile("/Flying sites")));
    EXPECT_FALSE(machine.Exists(kHolding));
    EXPECT_TRUE(log.Contains("Copying: C:\\scratch\\Documents/AerovinTemp/sites/f.site -> " + user +
                             "/Downloaded/Sites/User-made/f.site...Done\n"));
    EXPECT_TRUE(log.Contains("Deleting folder: C:\\scratch\\Documents/AerovinTemp...Done\n"));
}

TEST_F(UserContentTest, ALaterRunCarriesTheUserMadeSitesAndSchemes) {
    WriteUserFile("/Downloaded/Sites/User-made/mine.site", "site");
    WriteUserFile("/Downloaded/Schemes/User-made/mine.col", "scheme");
    WriteUserFile("/Schemes/old.col", "old scheme");
    EXPECT_TRUE(StashUserContent(state));
    RemoveUserData();
    RestoreUserContent(state);
    EXPECT_EQ(machine.ReadFile(UserFile("/Downloaded/Sites/User-made/mine.site")), "site");
    EXPECT_EQ(machine.ReadFile(UserFile("/Downloaded/Schemes/User-made/mine.col")), "scheme");
    EXPECT_EQ(machine.ReadFile(UserFile("/Downloaded/Schemes/User-made/old.col")), "old scheme");
    EXPECT_FALSE(machine.Exists(kHolding));
}

TEST_F(UserContentTest, TheHoldingFolderIsCreatedEvenWhenThereIsNothingToHold) {
    EXPECT_TRUE(StashUserContent(state));
    EXPECT_EQ(log.Text(), std::string("Creating folder: ") + kHolding + "...Done\nDone\n");
    log.Clear();
    RestoreUserContent(state);
    EXPECT_EQ(log.Text(), std::string("Deleting folder: ") + kHolding + "...Done\n");
}

TEST_F(UserContentTest, AFailedStashIsReported) {
    WriteUserFile("/Flying sites/f.site", "site");
    plat::fault::Inject("CopyFileA", plat::kErrorDiskFull, "f.site");
    EXPECT_FALSE(StashUserContent(state));
    EXPECT_TRUE(log.Contains("/AerovinTemp/sites/f.site...Failed (112)\nDone\n"));
}

TEST_F(UserContentTest, AFailedCopyBackKeepsTheHoldingFolder) {
    WriteUserFile("/Flying sites/f.site", "site");
    WriteUserFile("/Schemes/s.col", "scheme");
    ASSERT_TRUE(StashUserContent(state));
    RemoveUserData();
    plat::fault::Inject("CopyFileA", plat::kErrorDiskFull, "User-made/f.site");
    log.Clear();
    RestoreUserContent(state);
    EXPECT_EQ(machine.ReadFile(std::string(kHolding) + "/sites/f.site"), "site");
    EXPECT_EQ(machine.ReadFile(UserFile("/Downloaded/Schemes/User-made/s.col")), "scheme");
    std::string tail = std::string("Error: could not copy back all of the user's own content; it is kept in ") +
                       kHolding + "\n";
    ASSERT_GE(log.Text().size(), tail.size());
    EXPECT_EQ(log.Text().substr(log.Text().size() - tail.size()), tail);
    EXPECT_FALSE(log.Contains("Deleting"));

    // Once the disk has room again, the next restore brings the rest back and tidies up.
    plat::fault::Clear();
    RestoreUserContent(state);
    EXPECT_EQ(machine.ReadFile(UserFile("/Downloaded/Sites/User-made/f.site")), "site");
    EXPECT_FALSE(machine.Exists(kHolding));
}

}  // namespace
