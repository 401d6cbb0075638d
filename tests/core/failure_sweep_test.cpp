// Whatever folder queries fail, a whole update changes nothing outside the
// installer's own folders: every combination of the five queries failing,
// with the update folder on C: and on a Z: drive that stands for the host's
// root, run from the welcome page to the last page.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <fstream>
#include <map>
#include <sstream>

#include "core/file_ops.h"
#include "core/owned_folders.h"
#include "packages/writer/package_writer.h"
#include "core/startup.h"
#include "main/unattended_answers.h"
#include "ui/wizard_fixture.h"

namespace {

namespace fs = std::filesystem;
using pkgwriter::File;
using pkgwriter::Folder;

// What each path under a folder is: a folder, a link and its target, or a
// file and its bytes. Links are not followed.
using Snapshot = std::map<std::string, std::string>;

void AddToSnapshot(const fs::path& top, Snapshot& snapshot) {
    fs::path base = fs::canonical(top);
    for (auto it = fs::recursive_directory_iterator(base); it != fs::recursive_directory_iterator(); ++it) {
        const fs::directory_entry& entry = *it;
        std::string what;
        if (entry.is_symlink()) {
            what = "link " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_directory()) {
            what = "folder";
        } else {
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            what = "file " + bytes.str();
        }
        snapshot[entry.path().string()] = what;
    }
}

// The snapshot without what lies at or below one of the excluded host paths.
Snapshot Without(const Snapshot& snapshot, const std::vector<std::string>& excluded) {
    Snapshot kept;
    for (const auto& [path, what] : snapshot) {
        bool skip = false;
        for (const std::string& e : excluded)
            skip = skip || path == e || (path.size() > e.size() && path.compare(0, e.size(), e) == 0 && path[e.size()] == '/');
        if (!skip) kept[path] = what;
    }
    return kept;
}

const int kQueries[] = {plat::kCsidlProgramFiles, plat::kCsidlPersonal, plat::kCsidlAppData, plat::kCsidlCommonPrograms,
                        plat::kCsidlCommonDesktop};

// Makes the queries of the mask's bits fail, and only those.
void FailQueries(unsigned mask) {
    bool documentsFail = mask & 2;
    // A rule matches by substring, and "5" is part of "25": the desktop's own
    // rule comes first, failing it or letting it through.
    if (mask & 16) {
        plat::fault::Inject("SHGetFolderPathA", plat::kErrorAccessDenied, "25");
    } else if (documentsFail) {
        plat::fault::Inject("SHGetFolderPathA", 0, "25");
    }
    for (int i = 0; i < 4; ++i)
        if (mask & (1u << i))
            plat::fault::Inject("SHGetFolderPathA", plat::kErrorAccessDenied, std::to_string(kQueries[i]));
}

class FailureSweepTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::posix::SetClock(&afx::HeadlessBackend::ActiveClock);
        // Sixty-four prefixes, each with a registry written durably: kept in
        // memory where the system offers a folder for it.
        const char* tmp = std::getenv("TMPDIR");
        savedTmp = tmp ? std::optional<std::string>(tmp) : std::nullopt;
        std::error_code error;
        if (fs::is_directory("/dev/shm", error) && access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
    }
    void TearDown() override {
        ResetInstallerState();
        plat::posix::SetClock(nullptr);
        if (savedTmp)
            setenv("TMPDIR", savedTmp->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    std::optional<std::string> savedTmp;

    // A prefix with an old installation, its user's data, files of other
    // programs and of the user, a Z: drive standing for the host's root, and
    // one package for all six root folders in the update folder.
    std::unique_ptr<ScratchMachine> MakeMachine(bool updateOnZ) {
        ScratchMachine::Options options;
        options.ownRoot = false;
        auto machine = std::make_unique<ScratchMachine>(options);
        std::string prefix = machine->PrefixFolder();
        fs::create_directories(prefix + "/hostroot/home/me");
        fs::create_directory_symlink("../hostroot", prefix + "/dosdevices/z:");
        std::string error;
        if (!plat::posix::UseMachine(prefix, &error)) ADD_FAILURE() << error;
        std::string user = plat::posix::UserName();
        std::string docs = "C:\\users\\" + user + "\\Documents";
        const ScratchMachine& m = *machine;
        m.WriteFile("C:\\Program Files\\AerovinRC\\AerovinRC.exe", "MZ old");
        m.WriteFile("C:\\Program Files\\AerovinRC\\AerovinRC.ver", "4.2.b");
        m.WriteFile("C:\\Program Files\\AerovinBuilder\\AerovinBuilder.exe", "MZ old builder");
        m.WriteFile(docs + "\\AerovinRC\\Settings\\options.sim", "options.language = \"en\"\n");
        m.WriteFile(docs + "\\AerovinRC\\Flying sites\\My strip.vrx", "strip");
        m.WriteFile(docs + "\\AerovinRC\\Recordings\\r1.rec", "recording");
        // Not the installer's: none of these may change.
        m.WriteFile("C:\\precious.txt", "at the drive's root");
        m.WriteFile(docs + "\\photos\\wedding.jpg", "photo");
        m.WriteFile(docs + "\\AerovinRC2\\notes.txt", "a name that only begins like ours");
        m.WriteFile("C:\\users\\Public\\Desktop\\Other program.lnk", "other link");
        m.WriteFile("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Other\\o.lnk", "other menu");
        m.WriteFile("C:\\users\\" + user + "\\AppData\\Roaming\\Other\\settings.ini", "other program");
        m.WriteFile("Z:\\home\\me\\photos\\wedding.jpg", "the host's photo");
        m.WriteFile("Z:\\home\\me\\.profile", "the host's profile");
        std::string updates = updateOnZ ? "Z:\\home\\me\\Downloads\\update" : "C:\\Update";
        m.WriteFile(updates + "\\patchwell.exe", "MZ installer");
        m.WriteFile(updates + "\\a1.pkg", pkgwriter::BuildPackage({
                                              {0, {Folder("Data", {File("a.txt", "new")}), File("AerovinRC.ver", "5.0.p")}},
                                              {1, {Folder("Settings"), File("Settings\\fresh.txt", "f")}},
                                              {2, {File("Readme.txt", "menu")}},
                                              {3, {File("Uninstall.exe", "MZ uninstall")}},
                                              {4, {File("AerovinBuilder.exe", "MZ new builder")}},
                                              {5, {File("b.txt", "user builder")}},
                                          }));
        plat::posix::SetCommandLine("\"" + updates + "\\patchwell.exe\"");
        return machine;
    }

    // The update from the welcome page to its last page, every box ticked.
    void RunWholeUpdate() {
        ResetInstallerState();
        theApp.builderFolder.clear();
        afx::HeadlessBackend ui;
        afx::ScopedUiBackend useUi(&ui);
        // Every box ticked, as the unattended programs answer by default.
        ui.SetDriver(UnattendedDriver(UnattendedChoices{}));
        theApp.InitInstance();
        EXPECT_FALSE(ui.TimedOut());
        EXPECT_FALSE(ui.Stalled());
    }

    LogCapture log;
    plat::fault::Scope faults;
    CurrentDirRestorer restorer;
};

TEST_F(FailureSweepTest, NoCombinationOfFailedFolderQueriesChangesAnythingOutsideTheInstallersFolders) {
    for (bool updateOnZ : {false, true}) {
        for (unsigned mask = 0; mask < 32; ++mask) {
            SCOPED_TRACE("update folder on " + std::string(updateOnZ ? "Z:" : "C:") + ", failing queries mask " +
                         std::to_string(mask));
            std::unique_ptr<ScratchMachine> machine = MakeMachine(updateOnZ);
            std::string prefix = machine->PrefixFolder();
            Snapshot before;
            AddToSnapshot(prefix + "/drive_c", before);
            AddToSnapshot(prefix + "/hostroot", before);
            plat::fault::Clear();
            FailQueries(mask);
            log.Clear();
            RunWholeUpdate();
            plat::fault::Clear();
            EXPECT_TRUE(theApp.currentStep == stepComplete || theApp.currentStep == stepFailed) << theApp.currentStep;
            if (mask == 0) {
                EXPECT_EQ(theApp.currentStep, stepComplete);
                EXPECT_EQ(log.Text().find("Refused"), std::string::npos) << log.Text();
                EXPECT_EQ(machine->ReadFile("C:\\Program Files\\AerovinRC\\Data\\a.txt"), "new");
            }
            EXPECT_EQ(log.Text().find("...Done\nDeleting file: C:\\precious"), std::string::npos);

            Snapshot after;
            AddToSnapshot(prefix + "/drive_c", after);
            AddToSnapshot(prefix + "/hostroot", after);
            // The installer's own folders of this run, as the installer state gives them.
            OwnedFolders owned = OwnedFoldersOf(theApp);
            std::vector<std::string> excluded;
            for (const std::vector<std::string>* list : {&owned.trees, &owned.files})
                for (const std::string& path : *list) excluded.push_back(fs::weakly_canonical(machine->HostPath(path)).string());
            EXPECT_EQ(Without(after, excluded), Without(before, excluded));
            // The user's files stay, whatever the run could delete.
            EXPECT_EQ(machine->ReadFile("Z:\\home\\me\\photos\\wedding.jpg"), "the host's photo");
            EXPECT_EQ(machine->ReadFile("C:\\precious.txt"), "at the drive's root");
            ResetInstallerState();
        }
    }
}

// Links planted where the installer deletes: each is removed itself, and
// what it points to stays as it was.
class PlantedLinkTest : public FailureSweepTest {
protected:
    void PlantLink(const ScratchMachine& machine, const std::string& windowsLink, const std::string& target) {
        machine.WriteFile(target + "\\precious.txt", "keep " + target);
        targets.push_back(target);
        fs::path link = machine.HostPath(windowsLink);
        fs::create_directories(link.parent_path());
        fs::create_directory_symlink(machine.HostPath(target), link);
    }
    void ExpectTargetsKept(const ScratchMachine& machine) {
        for (const std::string& target : targets)
            EXPECT_EQ(machine.ReadFile(target + "\\precious.txt"), "keep " + target) << target;
    }
    std::vector<std::string> targets;
};

TEST_F(PlantedLinkTest, ALinkInsideEachRootFolderIsRemovedOrLeftButNeverFollowed) {
    std::unique_ptr<ScratchMachine> machine = MakeMachine(false);
    std::string user = plat::posix::UserName();
    std::string docs = "C:\\users\\" + user + "\\Documents";
    std::string roaming = "C:\\users\\" + user + "\\AppData\\Roaming";
    const std::string roots[] = {
        "C:\\Program Files\\AerovinRC",
        "C:\\Program Files\\AerovinBuilder",
        "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\AerovinRC",
        roaming + "\\AerovinRC",
        docs + "\\AerovinRC",
        docs + "\\AerovinBuilder",
    };
    int n = 0;
    for (const std::string& root : roots) PlantLink(*machine, root + "\\planted", "C:\\elsewhere\\t" + std::to_string(n++));
    PlantLink(*machine, docs + "\\AerovinRC\\Flying sites\\linked site", "C:\\elsewhere\\site");
    RunWholeUpdate();
    EXPECT_EQ(theApp.currentStep, stepComplete);
    ExpectTargetsKept(*machine);
    // The deleted folders' links went with them.
    EXPECT_FALSE(machine->Exists(docs + "\\AerovinRC\\planted"));
    EXPECT_FALSE(machine->Exists(docs + "\\AerovinBuilder\\planted"));
    EXPECT_FALSE(machine->Exists("C:\\Program Files\\AerovinBuilder\\planted"));
    EXPECT_FALSE(machine->Exists(docs + "\\AerovinRC\\Downloaded\\Sites\\User-made\\linked site\\precious.txt"));
}

TEST_F(PlantedLinkTest, ALinkStandingForTheHoldingOrBackupFolderIsRemovedItself) {
    std::unique_ptr<ScratchMachine> machine = MakeMachine(false);
    DeriveFolders(theApp);
    std::string docs = theApp.documentsFolder;
    PlantLink(*machine, docs + "\\AerovinTemp", "C:\\elsewhere\\held");
    PlantLink(*machine, docs + "\\AerovinRC_backup", "C:\\elsewhere\\backup");
    PlantLink(*machine, docs + "\\AerovinBuilder_backup", "C:\\elsewhere\\builder-backup");

    // Nothing is copied through them...
    log.Clear();
    CopyFolderTree(theApp.userDataFolder, theApp.userDataFolder + "_backup");
    CopyFolderTree(theApp.userDataFolder + "/Flying sites", docs + "/AerovinTemp/sites");
    EXPECT_NE(log.Text().find("Refused: a link stands for the folder\n"), std::string::npos) << log.Text();
    EXPECT_EQ(log.Text().find("...Done"), std::string::npos) << log.Text();
    // ...and deleting them removes the links.
    for (const std::string& folder : {docs + "/AerovinTemp", theApp.userDataFolder + "_backup",
                                      theApp.userBuilderFolder + "_backup"}) {
        DeleteFolderTree(folder);
        EXPECT_FALSE(machine->Exists(folder)) << folder;
    }
    ExpectTargetsKept(*machine);
    EXPECT_FALSE(machine->Exists("C:\\elsewhere\\held\\sites"));
    EXPECT_FALSE(machine->Exists("C:\\elsewhere\\backup\\Flying sites"));
}

}  // namespace
