#include "core/owned_folders.h"

#include <gtest/gtest.h>

#include "core/installer_state.h"

namespace {

// Puts the installer state's folder strings back when a test ends.
class SavedFolders {
public:
    SavedFolders() : saved(Fields()) {}
    ~SavedFolders() {
        auto fields = Pointers();
        for (std::size_t i = 0; i < fields.size(); ++i) *fields[i] = saved[i];
    }

private:
    static std::vector<std::string*> Pointers() {
        CPatchwellApp& s = theApp;
        return {&s.installFolder,  &s.builderFolder,     &s.programFilesFolder, &s.documentsFolder, &s.userDataFolder,
                &s.userBuilderFolder, &s.appDataFolder, &s.startMenuFolder,    &s.desktopFolder};
    }
    static std::vector<std::string> Fields() {
        std::vector<std::string> values;
        for (std::string* field : Pointers()) values.push_back(*field);
        return values;
    }
    std::vector<std::string> saved;
};

// The installer state with every folder known, as after detection.
CPatchwellApp& StateWithFolders(CPatchwellApp& state) {
    state.installFolder = "C:\\Program Files\\AerovinRC";
    state.builderFolder = "C:\\Program Files\\AerovinBuilder";
    state.programFilesFolder = "C:\\Program Files";
    state.documentsFolder = "C:\\users\\me\\Documents";
    state.userDataFolder = "C:\\users\\me\\Documents/AerovinRC";
    state.userBuilderFolder = "C:\\users\\me\\Documents/AerovinBuilder";
    state.appDataFolder = "C:\\users\\me\\AppData\\Roaming/AerovinRC";
    state.startMenuFolder = "C:\\ProgramData\\Start Menu\\Programs/AerovinRC";
    state.desktopFolder = "C:\\users\\Public\\Desktop";
    return state;
}

TEST(OwnedFolders, PathsThatCanNeverBeActedOnAreRefusedWhateverTheSet) {
    OwnedFolders everything;
    everything.trees = {"C:\\x"};
    struct Case {
        const char* path;
        const char* reason;
    } cases[] = {
        {"", "empty path"},
        {"/AerovinRC.lnk", "relative path"},   // the root of the current drive
        {"\\x\\a", "relative path"},
        {"Data\\a.txt", "relative path"},
        {"C:x\\a", "relative path"},           // the current folder of C:
        {"C:", "drive root"},
        {"C:\\", "drive root"},
        {"c:/", "drive root"},
        {"Z:\\\\", "drive root"},
        {"\\\\server\\share", "share root"},
        {"//server/share/", "share root"},
        {"\\\\server", "share root"},
        {"\\\\?\\C:\\x\\a", "device path"},
        {"\\\\.\\COM1", "device path"},
        {"C:\\x\\..\\..\\windows", "'.', '..' or a blank name in the path"},
        {"C:\\x\\.\\a", "'.', '..' or a blank name in the path"},
        {"C:\\x\\.. \\a", "'.', '..' or a blank name in the path"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PathShapeProblem(c.path), c.reason) << c.path;
        EXPECT_EQ(everything.RefusalReason(c.path, OwnedUse::kDelete), c.reason) << c.path;
        EXPECT_FALSE(everything.IsOwned(c.path)) << c.path;
    }
    EXPECT_EQ(PathShapeProblem("C:\\x\\a"), "");
    EXPECT_EQ(PathShapeProblem("\\\\server\\share\\a"), "");
}

TEST(OwnedFolders, OwnedAreTheRootsAndWhatLiesBelowThemComparedAsWindowsDoes) {
    SavedFolders restorer;
    OwnedFolders owned = OwnedFoldersOf(StateWithFolders(theApp));
    for (const char* path : {
             "C:\\Program Files\\AerovinRC",
             "C:\\Program Files\\AerovinRC\\Data\\a.txt",
             "c:/program files/aerovinrc/DATA",               // either separator, any case
             "C:\\Program Files\\\\AerovinRC\\\\Data\\",      // doubled and trailing separators
             "C:\\Program Files\\AerovinRC.\\a.txt",          // Windows drops the trailing dot
             "C:\\Program Files\\AerovinBuilder/x",
             "C:\\users\\me\\Documents/AerovinRC/Settings",
             "C:\\users\\me\\Documents/AerovinRC_backup/Settings",
             "C:\\users\\me\\Documents/AerovinBuilder_backup",
             "C:\\users\\me\\Documents/AerovinTemp/profiles",
             "C:\\users\\me\\Documents/AerovinPatchwell.log",
             "C:\\users\\me\\AppData\\Roaming/AerovinRC/Uninstall.exe",
             "C:\\ProgramData\\Start Menu\\Programs/AerovinRC/User Guide/English.lnk",
             "C:\\users\\Public\\Desktop/AerovinRC.lnk",
             "C:\\users\\Public\\Desktop\\aerovin builder.lnk",
         })
        EXPECT_EQ(owned.RefusalReason(path, OwnedUse::kDelete), "") << path;
    for (const char* path : {
             "C:\\Program Files",
             "C:\\Program Files\\AerovinRC2",                 // a prefix is not a parent
             "C:\\Program Files\\Other\\a.txt",
             "C:\\users\\me\\Documents",
             "C:\\users\\me\\Documents/photos/wedding.jpg",
             "C:\\users\\me\\Documents/AerovinPatchwell.log/x",  // a file owns nothing below it
             "C:\\users\\Public\\Desktop",
             "C:\\users\\Public\\Desktop/Other program.lnk",
             "C:\\ProgramData\\Start Menu\\Programs",
             "D:\\Program Files\\AerovinRC",
             "Z:\\home\\me\\photos",
         })
        EXPECT_NE(owned.RefusalReason(path, OwnedUse::kDelete), "") << path;
    EXPECT_EQ(owned.RefusalReason("Z:\\home\\me\\photos", OwnedUse::kWrite), "outside the installer's folders");
}

TEST(OwnedFolders, TheProgramFilesFolderMayBeCreatedButNeitherDeletedNorWrittenInto) {
    SavedFolders restorer;
    OwnedFolders owned = OwnedFoldersOf(StateWithFolders(theApp));
    EXPECT_EQ(owned.RefusalReason("C:\\Program Files", OwnedUse::kCreateFolder), "");
    EXPECT_EQ(owned.RefusalReason("C:\\Program Files", OwnedUse::kDelete), "a folder the installer only creates");
    EXPECT_EQ(owned.RefusalReason("C:\\Program Files", OwnedUse::kWrite), "a folder the installer only creates");
    EXPECT_EQ(owned.RefusalReason("C:\\Program Files\\new.txt", OwnedUse::kWrite), "outside the installer's folders");
}

TEST(OwnedFolders, AnUnknownOrUnsoundFolderOwnsNothing) {
    SavedFolders restorer;
    CPatchwellApp& state = StateWithFolders(theApp);
    state.documentsFolder.clear();
    state.userDataFolder.clear();
    state.userBuilderFolder.clear();
    state.desktopFolder.clear();
    state.startMenuFolder.clear();
    state.builderFolder = "AerovinBuilder";  // what an installation at a drive's root would give
    state.installFolder = "C:\\";
    OwnedFolders owned = OwnedFoldersOf(state);
    EXPECT_EQ(owned.trees, std::vector<std::string>{"C:\\users\\me\\AppData\\Roaming/AerovinRC"});
    EXPECT_TRUE(owned.files.empty());
    for (const char* path : {"/AerovinRC", "_backup", "/AerovinTemp", "/AerovinRC.lnk", "C:\\windows", "AerovinBuilder"})
        EXPECT_NE(owned.RefusalReason(path, OwnedUse::kDelete), "") << path;
}

TEST(OwnedFolders, TheGuardFollowsTheInstallerStateAndKeepsAHarnessFolder) {
    SavedFolders restorer;
    std::vector<std::string> savedExtras = ExtraOwnedFolders();
    SetExtraOwnedFolders({});

    theApp.installFolder = "C:\\Games\\One";
    EXPECT_TRUE(IsOwned("C:\\Games\\One\\a.txt"));
    theApp.installFolder = "C:\\Games\\Two";  // as detection sets it: no explicit rebuild
    EXPECT_FALSE(IsOwned("C:\\Games\\One\\a.txt"));
    EXPECT_TRUE(IsOwned("C:\\Games\\Two\\a.txt"));
    EXPECT_FALSE(IsOwned("C:\\scratch-of-a-test\\a"));
    SetExtraOwnedFolders({"C:\\scratch-of-a-test"});
    RebuildOwnedFolders(theApp);
    EXPECT_TRUE(IsOwned("C:\\scratch-of-a-test\\a"));
    EXPECT_EQ(RefusalReason("C:\\elsewhere", OwnedUse::kWrite), "outside the installer's folders");

    SetExtraOwnedFolders(savedExtras);
}

}  // namespace
