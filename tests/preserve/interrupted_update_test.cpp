// An update ended at any moment must leave what it captured where the next
// run finds it, and the next run must complete the update from there.
#include <cstdio>
#include <memory>

#include "preserve/calibration.h"
#include "preserve/options.h"
#include "preserve/preparation.h"
#include "preserve/settings_transfer.h"
#include "preserve/sites.h"
#include "preserve/update_record.h"
#include "preserve/user_content.h"
#include "preserve_fixture.h"

namespace {

const char kOldOptions[] =
    "options.default_simulationSpeed = 0.8\r\n"
    "options.default_wind = { 3, 270 }\r\n"
    "options.initialSetup = 1\r\n"
    "options.default_units_scheme = \"imperial\"\r\n"
    "options.playWindSound = 1\r\n"
    "options.default_flyingSite = \"aerovinRC_elmHill\"\r\n"
    "options.default_layoutMode = 2\r\n"
    "options.default_flightRecorder_position = { 12, 40 }\r\n"
    "options.models = { { \"Trainer\", \"Blue\", \"Mode 2\", \"Sunset scheme\" }, { \"Glider\" } }\r\n"
    "options.language = \"en\"\r\n"
    "options.default_showHelperDialogs = { 1, 0, 1, 1 }\r\n"
    "options.default_training_landing_startHeight = 25\r\n"
    "options.recentFlyingSites = { \"aerovinRC_elmHill\", \"My strip\" }\r\n";
const char kPackageOptions[] = "options.default_simulationSpeed = 1.0\r\noptions.initialSetup = 1\r\n";
const char kSiteList[] = "aerovinRC_alderField.vrx;1.0;1;\r\nMy strip.vrx;1.0;0;\r\naerovinRC_lanternQuay.vrx;1;1;\r\n";
const char kInstalledList[] = "aerovinRC_alderField,1.0,\r\naerovinRC_lanternQuay,1.0,\r\n";

std::string OldCalibration() {
    std::string bytes;
    for (int value = 0; value < 88; ++value) bytes += std::string{static_cast<char>(value), 0, 0, 0};
    return bytes;
}

std::string NewCalibration() {
    std::string bytes;
    for (int channel = 0; channel < 8; ++channel)
        for (int i = 0; i < 3; ++i) bytes += std::string{static_cast<char>(channel * 11 + i), 0, 0, 0};
    return bytes;
}

class InterruptedUpdateTest : public PreserveTest {
protected:
    InterruptedUpdateTest() {
        Configure(state);
        WriteUserFile("/Settings/options.sim", kOldOptions);
        WriteUserFile("/Settings/controller_0.vxt", OldCalibration());
        WriteUserFile("/Settings/installedUpdates.vrx", kSiteList);
        WriteUserFile("/Settings/mappingProfiles/Custom/tx.map", "aileron=ch1\n");
        WriteUserFile("/Schemes/Sunset.scheme", "base=orange\n");
        WriteUserFile("/Flying sites/My strip.vrx", "site\n");
        WriteUserFile("/Recordings/first.rec", "recording\n");
        machine.WriteFile(state.userBuilderFolder + "/Projects/racer.prj", "project\n");
    }

    // The state of a run in a new process: the same folders and choices.
    void Configure(CPatchwellApp& run) const {
        for (auto field : {&CPatchwellApp::documentsFolder, &CPatchwellApp::userDataFolder,
                           &CPatchwellApp::userBuilderFolder, &CPatchwellApp::installFolder,
                           &CPatchwellApp::builderFolder, &CPatchwellApp::appDataFolder,
                           &CPatchwellApp::startMenuFolder, &CPatchwellApp::desktopFolder,
                           &CPatchwellApp::programFilesFolder})
            run.*field = state.*field;
        run.installedVersion = VersionNumber{4, 2, 'b'};
        run.backupSettings = true;
    }
    std::unique_ptr<CPatchwellApp> NewRun() const {
        auto run = std::make_unique<CPatchwellApp>();
        Configure(*run);
        return run;
    }

    // What the packages leave in the user data.
    void ApplyPackages() const {
        WriteUserFile("/Settings/options.sim", kPackageOptions);
        WriteUserFile("/Downloaded/Sites/readme.txt", "stock sites\n");
    }

    std::string Holding(const char* name = "/AerovinTemp") const { return state.documentsFolder + name; }
    std::string RecordPath() const { return state.documentsFolder + "/AerovinPatchwell.update"; }

    // The user's data as a finished update leaves it.
    void ExpectUpdateFinished(const std::string& context) const {
        std::string options = machine.ReadFile(UserFile("/Settings/options.sim"));
        std::string restored =
            std::string(kPackageOptions) +
            "options.model = { 1, \"Trainer\", \"Default\", \"Default\", \"Sunset scheme\", \"default\", 0, 0, "
            "0,0,0, 0,0,0, 0,0,0,0 }\r\n"
            "options.language = \"en\"\r\n"
            "options.default_showHelperDialogs = { 1, 0, 1, 1  }\r\n"
            "options.initialSetup = 0\r\n"
            "options.default_simulationSpeed = 0.8\r\noptions.default_wind = { 3, 270 }\r\n"
            "options.default_units_scheme = \"imperial\"\r\n"
            "options.default_flyingSite = \"aerovinRC_elmHill\"\r\n"
            "options.default_flightRecorder_position = { 12, 40 }\r\n"
            "options.default_training_landing_startHeight = 25\r\n";
        EXPECT_EQ(options, restored) << context;
        EXPECT_EQ(machine.ReadFile(UserFile("/Settings/controller_0.vxt")), NewCalibration()) << context;
        EXPECT_EQ(machine.ReadFile(state.installFolder + "/resources/data/installed.dat"), kInstalledList) << context;
        EXPECT_EQ(machine.ReadFile(UserFile("/Settings/mappingProfiles/Custom/tx.map")), "aileron=ch1\n") << context;
        EXPECT_EQ(machine.ReadFile(UserFile("/Downloaded/Schemes/User-made/Sunset.scheme")), "base=orange\n")
            << context;
        EXPECT_EQ(machine.ReadFile(UserFile("/Downloaded/Sites/User-made/My strip.vrx")), "site\n") << context;
        EXPECT_EQ(machine.ReadFile(state.userDataFolder + "_backup/Settings/options.sim"), kOldOptions) << context;
        EXPECT_EQ(machine.ReadFile(state.userDataFolder + "_backup/Recordings/first.rec"), "recording\n") << context;
        EXPECT_FALSE(machine.Exists(Holding())) << context;
        EXPECT_FALSE(machine.Exists(RecordPath())) << context;
    }
};

TEST_F(InterruptedUpdateTest, TheCaptureIsHeldDurablyAndRecordedBeforeAnythingIsDeleted) {
    PrepareInstallation(state);
    EXPECT_EQ(machine.ReadFile(Holding("/AerovinTemp/options.sim")), kOldOptions);
    EXPECT_EQ(machine.ReadFile(Holding("/AerovinTemp/controller_0.vxt")), OldCalibration());
    EXPECT_EQ(machine.ReadFile(Holding("/AerovinTemp/installedUpdates.vrx")), kSiteList);
    EXPECT_FALSE(machine.Exists(Holding("/AerovinTemp/options.sim.new")));
    EXPECT_EQ(machine.ReadFile(RecordPath()),
              "Patchwell update in progress\nversion=4.2.b\nholding=AerovinTemp\nphase=prepared\nend\n");
    EXPECT_FALSE(log.Contains("Completing")) << log.Text();
    EXPECT_FALSE(machine.Exists(UserFile("/Settings/options.sim")));
}

TEST_F(InterruptedUpdateTest, ACaptureThatCannotBeKeptIsReportedAndLeavesNoRecord) {
    plat::fault::Inject("_commit", plat::kErrorDiskFull, "controller_0.vxt.new");
    PrepareInstallation(state);
    EXPECT_TRUE(log.Contains("Error: could not keep the captured settings in " + Holding() + "; an interruption "
                             "from here on loses them\n"))
        << log.Text();
    EXPECT_FALSE(machine.Exists(RecordPath()));
    EXPECT_FALSE(machine.Exists(Holding("/AerovinTemp/controller_0.vxt")));
    EXPECT_FALSE(machine.Exists(Holding("/AerovinTemp/controller_0.vxt.new")));
    ApplyPackages();
    RestorePreviousSettings(state);  // the capture in memory still comes back
    ExpectUpdateFinished("after one run");
}

TEST_F(InterruptedUpdateTest, TheNextRunCompletesFromTheHeldCopiesAndKeepsTheBackup) {
    PrepareInstallation(state);
    ApplyPackages();  // the run ends here, before the finishing phase
    log.Clear();
    auto second = NewRun();
    PrepareInstallation(*second);
    EXPECT_TRUE(log.Contains("Starting install process:\nCompleting an interrupted update of version 4.2.b\n"
                             "Saving previous options...Done\n"))
        << log.Text();
    EXPECT_TRUE(log.Contains("The half-updated user data is not backed up over the earlier backup\n")) << log.Text();
    EXPECT_FALSE(log.Contains("Backing-up files:")) << log.Text();
    EXPECT_EQ(second->languageText, "en");
    EXPECT_EQ(second->modelFourthText, "Sunset scheme");
    ApplyPackages();
    RestorePreviousSettings(*second);
    ExpectUpdateFinished("after the second run");
}

TEST_F(InterruptedUpdateTest, HeldContentIsNeverReplacedByTheHalfUpdatedCopy) {
    PrepareInstallation(state);
    ApplyPackages();
    // The finishing phase had begun to copy content back when the run ended.
    WriteUserFile("/Settings/mappingProfiles/Custom/tx.map", "half");
    WriteUserFile("/Settings/mappingProfiles/Custom/added.map", "added later\n");
    auto second = NewRun();
    PrepareInstallation(*second);
    EXPECT_EQ(machine.ReadFile(Holding("/AerovinTemp/profiles/tx.map")), "aileron=ch1\n");
    EXPECT_EQ(machine.ReadFile(Holding("/AerovinTemp/profiles/added.map")), "added later\n");
    ApplyPackages();
    RestorePreviousSettings(*second);
    ExpectUpdateFinished("after the second run");
    EXPECT_EQ(machine.ReadFile(UserFile("/Settings/mappingProfiles/Custom/added.map")), "added later\n");
}

TEST_F(InterruptedUpdateTest, TwoInterruptedRunsInARowStillFinishWithTheFirstCapture) {
    PrepareInstallation(state);
    ApplyPackages();
    auto second = NewRun();
    PrepareInstallation(*second);
    WriteUserFile("/Settings/options.sim", "options.language = \"half\"\r\n");  // ended while unpacking
    auto third = NewRun();
    PrepareInstallation(*third);
    EXPECT_EQ(third->languageText, "en");
    ApplyPackages();
    RestorePreviousSettings(*third);
    ExpectUpdateFinished("after the third run");
}

TEST_F(InterruptedUpdateTest, AnInterruptedRestoreIsDoneAgainOnceFromTheHeldCopies) {
    PrepareInstallation(state);
    ApplyPackages();
    // The run ends in the finishing phase, after the options and the site list.
    RestoreOptions(state);
    WriteInstalledList(state);
    auto second = NewRun();
    PrepareInstallation(*second);
    ApplyPackages();
    RestorePreviousSettings(*second);
    ExpectUpdateFinished("after the second run");
}

TEST_F(InterruptedUpdateTest, ARunEndedWhileTheHoldingFolderWasRemovedCapturesTheFinishedData) {
    PrepareInstallation(state);
    ApplyPackages();
    RestorePreviousSettings(state);
    // As if the run had ended after marking everything written back, with
    // part of the holding folder still there.
    UpdateRecord record{"4.2.b", "AerovinTemp", UpdatePhase::kRestored};
    ASSERT_TRUE(WriteUpdateRecord(state, record));
    machine.WriteFile(Holding("/AerovinTemp/profiles/tx.map"), "aileron=ch1\n");
    log.Clear();
    auto second = NewRun();
    PrepareInstallation(*second);
    EXPECT_TRUE(log.Contains("Completing an interrupted update of version 4.2.b\n")) << log.Text();
    EXPECT_FALSE(log.Contains("Backing-up files:")) << log.Text();
    ApplyPackages();
    RestorePreviousSettings(*second);
    ExpectUpdateFinished("after the second run");
}

TEST_F(InterruptedUpdateTest, AFailedCopyBackKeepsTheRecordSoTheNextRunCompletesTheUpdate) {
    PrepareInstallation(state);
    ApplyPackages();
    {
        plat::fault::Scope failing;
        plat::fault::Inject("CopyFileA", plat::kErrorDiskFull, "AerovinTemp/profiles/tx.map|");
        RestorePreviousSettings(state);
    }
    EXPECT_TRUE(log.Contains("Error: could not copy back all of the user's own content; it is kept in " + Holding() +
                             "\n"))
        << log.Text();
    EXPECT_TRUE(machine.Exists(RecordPath()));
    EXPECT_EQ(machine.ReadFile(Holding("/AerovinTemp/profiles/tx.map")), "aileron=ch1\n");
    auto second = NewRun();
    PrepareInstallation(*second);
    ApplyPackages();
    RestorePreviousSettings(*second);
    ExpectUpdateFinished("after the second run");
}

TEST_F(InterruptedUpdateTest, ARecordThatCannotBeReplacedKeepsItsOldText) {
    UpdateRecord first{"4.2.b", "AerovinTemp", UpdatePhase::kCaptured};
    ASSERT_TRUE(WriteUpdateRecord(state, first));
    plat::fault::Inject("MoveFileExA", plat::kErrorAccessDenied, "AerovinPatchwell.update");
    UpdateRecord later{"4.2.b", "AerovinTemp", UpdatePhase::kRestored};
    EXPECT_FALSE(WriteUpdateRecord(state, later));
    UpdateRecord read;
    ASSERT_TRUE(ReadUpdateRecord(state, &read));
    EXPECT_EQ(read.phase, UpdatePhase::kCaptured);
    EXPECT_FALSE(machine.Exists(RecordPath() + ".new"));
}

TEST_F(InterruptedUpdateTest, AMissingHeldCopyIsReportedAndNeverReplacedByTheHalfUpdatedFile) {
    PrepareInstallation(state);
    ApplyPackages();
    machine.WriteFile(UserFile("/Settings/options.sim"), "options.language = \"half\"\r\n");
    std::remove(machine.HostPath(Holding("/AerovinTemp/options.sim")).c_str());
    log.Clear();
    auto second = NewRun();
    PrepareInstallation(*second);
    EXPECT_TRUE(log.Contains("Saving previous options...Error - could not open file: " +
                             Holding("/AerovinTemp/options.sim") + "\nDone\n"))
        << log.Text();
    EXPECT_FALSE(second->optionsCaptured);
    ApplyPackages();
    RestorePreviousSettings(*second);
    EXPECT_EQ(machine.ReadFile(UserFile("/Settings/options.sim")), kPackageOptions);
    EXPECT_EQ(machine.ReadFile(UserFile("/Settings/controller_0.vxt")), NewCalibration());
    EXPECT_EQ(machine.ReadFile(UserFile("/Settings/mappingProfiles/Custom/tx.map")), "aileron=ch1\n");
    EXPECT_FALSE(machine.Exists(RecordPath()));
}

TEST_F(InterruptedUpdateTest, AHalfWrittenRecordCountsAsNoneAndItsFolderIsLeftAlone) {
    machine.WriteFile(Holding("/AerovinTemp/profiles/old.map"), "held by a run that never finished\n");
    machine.WriteFile(RecordPath(), "Patchwell update in progress\nversion=4.2.b\nholding=AerovinTemp\nphase=pre");
    PrepareInstallation(state);
    EXPECT_FALSE(log.Contains("Completing")) << log.Text();
    EXPECT_TRUE(log.Contains("  " + Holding() + " was not made by this installer and is left as it is; the user's "
                             "content is held in " + Holding("/AerovinTemp2") + "\n"))
        << log.Text();
    EXPECT_EQ(machine.ReadFile(Holding("/AerovinTemp2/profiles/tx.map")), "aileron=ch1\n");
    ApplyPackages();
    RestorePreviousSettings(state);
    EXPECT_EQ(machine.ReadFile(Holding("/AerovinTemp/profiles/old.map")), "held by a run that never finished\n");
    EXPECT_FALSE(machine.Exists(Holding("/AerovinTemp2")));
    EXPECT_FALSE(machine.Exists(RecordPath()));
    EXPECT_EQ(machine.ReadFile(UserFile("/Settings/mappingProfiles/Custom/tx.map")), "aileron=ch1\n");
}

TEST_F(InterruptedUpdateTest, AHoldingFolderLeftBeforeItsRecordIsUsedAgainAndRemoved) {
    // The run ended while it copied the user's content: its mark is there,
    // its record is not, and nothing had been deleted.
    machine.WriteFile(Holding("/AerovinTemp/AerovinPatchwell.holding"), "");
    machine.WriteFile(Holding("/AerovinTemp/profiles/tx.map"), "aileron=ch1\n");
    PrepareInstallation(state);
    EXPECT_FALSE(log.Contains("Completing")) << log.Text();
    EXPECT_FALSE(log.Contains("was not made by this installer")) << log.Text();
    ApplyPackages();
    RestorePreviousSettings(state);
    ExpectUpdateFinished("after the second run");
    EXPECT_FALSE(machine.Exists(Holding("/AerovinTemp2")));
}

TEST_F(InterruptedUpdateTest, AFolderOfTheUsersOwnIsNeverMergedIntoOrDeleted) {
    machine.WriteFile(Holding("/AerovinTemp/mine.txt"), "the user's own\n");
    machine.WriteFile(Holding("/AerovinTemp2/also mine.txt"), "also the user's\n");
    PrepareInstallation(state);
    EXPECT_TRUE(log.Contains("is held in " + Holding("/AerovinTemp3") + "\n")) << log.Text();
    EXPECT_EQ(machine.ReadFile(RecordPath()),
              "Patchwell update in progress\nversion=4.2.b\nholding=AerovinTemp3\nphase=prepared\nend\n");
    ApplyPackages();
    RestorePreviousSettings(state);
    EXPECT_EQ(machine.ReadFile(Holding("/AerovinTemp/mine.txt")), "the user's own\n");
    EXPECT_FALSE(machine.Exists(Holding("/AerovinTemp/profiles")));
    EXPECT_EQ(machine.ReadFile(Holding("/AerovinTemp2/also mine.txt")), "also the user's\n");
    EXPECT_FALSE(machine.Exists(Holding("/AerovinTemp3")));
    EXPECT_EQ(machine.ReadFile(UserFile("/Downloaded/Schemes/User-made/Sunset.scheme")), "base=orange\n");
}

TEST_F(InterruptedUpdateTest, AnEmptyFolderOfThatNameIsUsedWithTheUsualLog) {
    machine.MakeFolder(Holding());
    PrepareInstallation(state);
    EXPECT_FALSE(log.Contains("was not made by this installer")) << log.Text();
    ApplyPackages();
    RestorePreviousSettings(state);
    ExpectUpdateFinished("after one run");
}

TEST_F(InterruptedUpdateTest, AFailedBackupKeepsTheUserDataAndTheEditorFolder) {
    plat::fault::Inject("CopyFileA", plat::kErrorDiskFull, "Recordings/first.rec|");
    plat::fault::Inject("CopyFileA", plat::kErrorDiskFull, "racer.prj|");
    PrepareInstallation(state);
    EXPECT_TRUE(log.Contains("Error: the backup of " + state.userDataFolder +
                             " is not complete; the previous user data is kept there\n"))
        << log.Text();
    EXPECT_TRUE(log.Contains("Error: the backup of " + state.userBuilderFolder + " is not complete; the folder is kept\n"))
        << log.Text();
    EXPECT_EQ(machine.ReadFile(UserFile("/Recordings/first.rec")), "recording\n");
    EXPECT_EQ(machine.ReadFile(state.userBuilderFolder + "/Projects/racer.prj"), "project\n");
}

TEST_F(InterruptedUpdateTest, TheBackupCoversTheEditorsPerUserFolder) {
    PrepareInstallation(state);
    EXPECT_TRUE(log.Contains("Backing-up files:\n  Copying " + state.userDataFolder + " to " + state.userDataFolder +
                             "_backup\n"))
        << log.Text();
    EXPECT_TRUE(log.Contains("  Copying " + state.userBuilderFolder + " to " + state.userBuilderFolder + "_backup\n"))
        << log.Text();
    EXPECT_EQ(machine.ReadFile(state.userBuilderFolder + "_backup/Projects/racer.prj"), "project\n");
    EXPECT_FALSE(machine.Exists(state.userBuilderFolder + "/Projects/racer.prj"));
}

TEST_F(InterruptedUpdateTest, WithoutADocumentsFolderNothingIsJoinedToAnEmptyPath) {
    state.documentsFolder.clear();
    PrepareInstallation(state);
    EXPECT_TRUE(log.Contains("Error: there is no folder to hold the user's own content in; the previous user data "
                             "is kept\n"))
        << log.Text();
    EXPECT_EQ(machine.ReadFile(UserFile("/Settings/options.sim")), kOldOptions);
    EXPECT_FALSE(machine.Exists("C:\\AerovinTemp"));
    EXPECT_FALSE(machine.Exists("C:\\AerovinPatchwell.update"));
}

// ---- The record itself ----

TEST(UpdateRecordText, OnlyAWholeRecordIsRead) {
    UpdateRecord written{"4.2.b", "AerovinTemp12", UpdatePhase::kPrepared};
    std::string text = FormatUpdateRecord(written);
    UpdateRecord read;
    ASSERT_TRUE(ParseUpdateRecord(text, &read));
    EXPECT_EQ(read.version, "4.2.b");
    EXPECT_EQ(read.holdingName, "AerovinTemp12");
    EXPECT_EQ(read.phase, UpdatePhase::kPrepared);
    for (std::size_t cut = 0; cut < text.size(); ++cut)
        EXPECT_FALSE(ParseUpdateRecord(text.substr(0, cut), &read)) << cut;
}

TEST(UpdateRecordText, AHoldingFolderOutsideTheDocumentsFolderIsRefused) {
    UpdateRecord read;
    for (const char* holding : {"..\\AerovinTemp", "AerovinTemp/../x", "AerovinTemp1", "AerovinTemp02", "Temp", ""}) {
        UpdateRecord written{"4.2.b", holding, UpdatePhase::kCaptured};
        EXPECT_FALSE(ParseUpdateRecord(FormatUpdateRecord(written), &read)) << holding;
    }
    EXPECT_FALSE(ParseUpdateRecord("Patchwell update in progress\nversion=4.2.b\nholding=AerovinTemp\nphase=done\nend\n",
                                   &read));
}

}  // namespace
