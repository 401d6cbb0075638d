// The file-system helpers never act outside the installer's folders: an
// empty path is a missing folder, a refused path is logged and left alone,
// and a folder link is removed itself.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/file_ops.h"
#include "platform/fault.h"
#include "platform/platform.h"
#include "support/log_capture.h"
#include "support/scratch_machine.h"

namespace {

namespace fs = std::filesystem;

class FileOpsGuardTest : public ::testing::Test {
protected:
    void SetUp() override {
        // What an update must never touch: the drive's root and a user's files.
        machine.WriteFile("C:\\precious.txt", "root file");
        machine.WriteFile("C:\\outside\\photos\\wedding.jpg", "photo");
    }
    void ExpectOutsideUntouched() {
        EXPECT_EQ(machine.ReadFile("C:\\precious.txt"), "root file");
        EXPECT_EQ(machine.ReadFile("C:\\outside\\photos\\wedding.jpg"), "photo");
    }

    ScratchMachine machine;
    CurrentDirRestorer restorer;
    LogCapture log;
    plat::fault::Scope faults;
    std::string root = machine.Root();
};

TEST_F(FileOpsGuardTest, AnEmptyPathIsAMissingFolderForEveryHelper) {
    machine.WriteFile(root + "\\src\\a.txt", "a");
    ASSERT_EQ(plat::ChangeDir("C:\\"), 0);  // where "" + "/*.*" would have led
    std::list<std::string> files = {"kept"};
    std::vector<std::string> folders = {"kept"};
    FindFiles("", "*.*", files, true, true, true, true);
    FindFolders("", folders, true, true, true, true);
    EXPECT_FALSE(CopyOneFile("", root + "\\b.txt", true));
    EXPECT_FALSE(CopyOneFile(root + "\\src\\a.txt", "", true));
    EXPECT_TRUE(CopyFolderTree("", root + "\\dst"));
    EXPECT_FALSE(CopyFolderTree(root + "\\src", ""));  // the tree had nowhere to go
    CreateFolder("");
    DeleteFolderTree("");
    EXPECT_FALSE(DeleteOneFile(""));
    EXPECT_EQ(log.Text(), "");
    EXPECT_EQ(files, std::list<std::string>{"kept"});
    EXPECT_EQ(folders, std::vector<std::string>{"kept"});
    EXPECT_FALSE(machine.Exists(root + "\\dst"));
    EXPECT_EQ(machine.ReadFile(root + "\\src\\a.txt"), "a");
    ExpectOutsideUntouched();
}

TEST_F(FileOpsGuardTest, DeletionsOutsideTheInstallersFoldersAreRefusedBeforeAnythingIsListed) {
    DeleteFolderTree("C:\\outside");
    DeleteFolderTree("C:\\");
    DeleteFolderTree("/AerovinRC");
    DeleteFolderTree(root + "\\..\\outside");
    EXPECT_FALSE(DeleteOneFile("C:\\precious.txt"));
    EXPECT_EQ(log.Text(),
              "Deleting folder: C:\\outside...Refused: outside the installer's folders\n"
              "Deleting folder: C:\\...Refused: drive root\n"
              "Deleting folder: /AerovinRC...Refused: relative path\n"
              "Deleting folder: C:\\scratch\\..\\outside...Refused: '.', '..' or a blank name in the path\n"
              "Error: refused to delete C:\\precious.txt: outside the installer's folders\n");
    ExpectOutsideUntouched();

    log.Clear();
    machine.WriteFile(root + "\\Desktop\\AerovinRC.lnk", "link");
    EXPECT_TRUE(DeleteOneFile(root + "\\Desktop\\AerovinRC.lnk"));  // inside: silent
    EXPECT_EQ(log.Text(), "");
    EXPECT_FALSE(machine.Exists(root + "\\Desktop\\AerovinRC.lnk"));
}

TEST_F(FileOpsGuardTest, WritesOutsideTheInstallersFoldersAreRefusedAndNeverDone) {
    machine.WriteFile(root + "\\src\\a.txt", "a");
    CreateFolder("C:\\outside\\new");
    EXPECT_FALSE(CopyOneFile(root + "\\src\\a.txt", "C:\\outside\\photos\\wedding.jpg", true));
    EXPECT_FALSE(CopyFolderTree(root + "\\src", "C:\\outside\\copy"));
    EXPECT_EQ(log.Text(),
              "Creating folder: C:\\outside\\new...Refused: outside the installer's folders\n"
              "Copying: C:\\scratch\\src\\a.txt -> C:\\outside\\photos\\wedding.jpg...Refused: outside the installer's "
              "folders\n"
              "Creating folder: C:\\outside\\copy...Refused: outside the installer's folders\n");
    EXPECT_FALSE(machine.Exists("C:\\outside\\new"));
    EXPECT_FALSE(machine.Exists("C:\\outside\\copy"));
    ExpectOutsideUntouched();
}

TEST_F(FileOpsGuardTest, FilesAreOpenedForWritingOnlyInsideTheInstallersFolders) {
    EXPECT_EQ(OpenForWriting("C:\\outside\\photos\\wedding.jpg", "wb"), nullptr);
    EXPECT_EQ(plat::LastError(), plat::kErrorAccessDenied);
    EXPECT_EQ(OpenForWriting("", "w"), nullptr);
    EXPECT_EQ(log.Text(),
              "Error: refused to write C:\\outside\\photos\\wedding.jpg: outside the installer's folders\n"
              "Error: refused to write : empty path\n");
    plat::StreamHolder file(OpenForWriting(root + "\\options.sim", "w"));
    ASSERT_TRUE(file);
    EXPECT_EQ(plat::WriteStream(file.Get(), "x\n", 2), 2u);
    EXPECT_EQ(file.Close(), 0);
    EXPECT_EQ(machine.ReadFile(root + "\\options.sim"), "x\r\n");
    ExpectOutsideUntouched();
}

TEST_F(FileOpsGuardTest, AFolderLinkGivenAsTheTreeIsRemovedItselfAndItsTargetKept) {
    fs::create_directory_symlink(machine.HostPath("C:\\outside"), machine.HostPath(root) + "/Data");
    DeleteFolderTree(root + "\\Data");
    EXPECT_EQ(log.Text(), "Deleting folder: C:\\scratch\\Data...Done\n");
    EXPECT_FALSE(machine.Exists(root + "\\Data"));
    ExpectOutsideUntouched();

    // A link as the source of a copy is not followed either.
    fs::create_directory_symlink(machine.HostPath("C:\\outside"), machine.HostPath(root) + "/Sites");
    log.Clear();
    EXPECT_TRUE(CopyFolderTree(root + "\\Sites", root + "\\held"));
    EXPECT_EQ(log.Text(), "");
    EXPECT_FALSE(machine.Exists(root + "\\held"));
}

TEST_F(FileOpsGuardTest, NamesWithControlCharactersAreEscapedInEveryLine) {
    machine.WriteFile(root + "\\d\\a\nDone\nforged.txt", "x");
    CopyFolderTree(root + "\\d", root + "\\e");
    DeleteFolderTree(root + "\\d");
    EXPECT_EQ(log.Text(),
              "Creating folder: C:\\scratch\\e...Done\n"
              "Copying: C:\\scratch\\d/a\\x0ADone\\x0Aforged.txt -> C:\\scratch\\e/a\\x0ADone\\x0Aforged.txt...Done\n"
              "Deleting file: C:\\scratch\\d/a\\x0ADone\\x0Aforged.txt...Done\n"
              "Deleting folder: C:\\scratch\\d...Done\n");
}

}  // namespace
