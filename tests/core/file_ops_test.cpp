#include "core/file_ops.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/fault.h"
#include "platform/platform.h"
#include "support/log_capture.h"
#include "support/scratch_machine.h"

namespace {

class FileOpsTest : public ::testing::Test {
protected:
    ScratchMachine machine;
    CurrentDirRestorer restorer;
    LogCapture log;
    plat::fault::Scope faults;
    std::string root = machine.Root();
};

TEST_F(FileOpsTest, CreateFolderLogsDoneThenTheWindowsCodeForAnExistingFolder) {
    CreateFolder(root + "\\Games/Sim");
    EXPECT_EQ(log.Text(), "Creating folder: C:\\scratch\\Games/Sim...Done\n");
    log.Clear();
    plat::SetAttributes(root + "\\Games\\Sim", plat::kAttrHidden);
    CreateFolder(root + "\\Games/Sim");
    EXPECT_EQ(log.Text(), "Creating folder: C:\\scratch\\Games/Sim...Failed (183)\n");
    EXPECT_EQ(plat::GetAttributes(root + "\\Games\\Sim"), 0x12u);  // left as it was
}

TEST_F(FileOpsTest, ListersFilterByExactAttributeWordAndKeepFoldersOut) {
    machine.WriteFile(root + "\\p\\a.pkg", "x");
    machine.WriteFile(root + "\\p\\h.pkg", "x");
    machine.MakeFolder(root + "\\p\\dir.pkg");
    plat::SetAttributes(root + "\\p\\h.pkg", plat::kAttrHidden);  // reads back 0x22
    std::list<std::string> files = {"kept"};
    FindFiles(root + "\\p", "*.pkg", files, false, false, false, true);
    EXPECT_EQ(files, (std::list<std::string>{"kept", "C:\\scratch\\p/a.pkg", "C:\\scratch\\p/h.pkg"}));
    EXPECT_EQ(log.Text(), "");
}

TEST_F(FileOpsTest, FindFoldersRecursesPreOrder) {
    machine.MakeFolder(root + "\\t\\a\\x");
    machine.MakeFolder(root + "\\t\\b");
    std::vector<std::string> folders;
    FindFolders(root + "\\t", folders, true, false, false, true);
    EXPECT_EQ(folders, (std::vector<std::string>{"C:\\scratch\\t/a", "C:\\scratch\\t/a/x", "C:\\scratch\\t/b"}));
    std::list<std::string> files;
    FindFiles(root + "\\missing", "*.*", files, true, false, false, true);
    EXPECT_TRUE(files.empty());
}

TEST_F(FileOpsTest, CopyFolderTreeCopiesFilesBeforeSubfoldersAndNormalisesAttributes) {
    machine.WriteFile(root + "\\src\\a.txt", "a");
    machine.WriteFile(root + "\\src\\sub\\b.txt", "b");
    plat::SetAttributes(root + "\\src\\a.txt", plat::kAttrReadOnly);
    EXPECT_TRUE(CopyFolderTree(root + "\\src", root + "\\dst"));
    EXPECT_EQ(log.Text(),
              "Creating folder: C:\\scratch\\dst...Done\n"
              "Copying: C:\\scratch\\src/a.txt -> C:\\scratch\\dst/a.txt...Done\n"
              "Creating folder: C:\\scratch\\dst/sub...Done\n"
              "Copying: C:\\scratch\\src/sub/b.txt -> C:\\scratch\\dst/sub/b.txt...Done\n");
    EXPECT_EQ(plat::GetAttributes(root + "\\dst\\a.txt"), 0x20u);
    EXPECT_EQ(machine.ReadFile(root + "\\dst\\sub\\b.txt"), "b");
}

TEST_F(FileOpsTest, CopyFolderTreeFromAMissingSourceDoesNothing) {
    EXPECT_TRUE(CopyFolderTree(root + "\\missing", root + "\\dst"));
    EXPECT_EQ(log.Text(), "");
    EXPECT_FALSE(machine.Exists(root + "\\dst"));
}

TEST_F(FileOpsTest, AFailedCopyIsLoggedWithItsCodeAndReported) {
    machine.WriteFile(root + "\\src\\a.txt", "a");
    machine.WriteFile(root + "\\src\\b.txt", "b");
    plat::fault::Inject("CopyFileA", plat::kErrorDiskFull, "a.txt");
    EXPECT_FALSE(CopyFolderTree(root + "\\src", root + "\\dst"));
    EXPECT_TRUE(log.Contains("Copying: C:\\scratch\\src/a.txt -> C:\\scratch\\dst/a.txt...Failed (112)\n"));
    EXPECT_TRUE(log.Contains("C:\\scratch\\dst/b.txt...Done\n"));
}

TEST_F(FileOpsTest, DeleteFolderTreeRemovesSubfoldersThenFilesThenItself) {
    machine.WriteFile(root + "\\d\\f.txt", "x");
    machine.WriteFile(root + "\\d\\sub\\g.txt", "x");
    plat::SetAttributes(root + "\\d\\f.txt", plat::kAttrReadOnly);
    DeleteFolderTree(root + "\\d");
    EXPECT_EQ(log.Text(),
              "Deleting file: C:\\scratch\\d/sub/g.txt...Done\n"
              "Deleting folder: C:\\scratch\\d/sub...Done\n"
              "Deleting file: C:\\scratch\\d/f.txt...Done\n"
              "Deleting folder: C:\\scratch\\d...Done\n");
    EXPECT_FALSE(machine.Exists(root + "\\d"));
}

TEST_F(FileOpsTest, DeleteFolderTreeLeavesHiddenAndDotEntriesAndLogsTheFailure) {
    machine.WriteFile(root + "\\d\\.keep", "x");
    machine.WriteFile(root + "\\d\\h.txt", "x");
    plat::SetAttributes(root + "\\d\\h.txt", plat::kAttrHidden);
    DeleteFolderTree(root + "\\d");
    EXPECT_EQ(log.Text(), "Deleting folder: C:\\scratch\\d...Failed (145)\n");
    EXPECT_TRUE(machine.Exists(root + "\\d\\h.txt"));
    log.Clear();
    DeleteFolderTree(root + "\\missing");
    EXPECT_EQ(log.Text(), "");
}

TEST_F(FileOpsTest, AFailedFileDeletionIsLoggedAndTheWalkGoesOn) {
    machine.WriteFile(root + "\\d\\a.txt", "x");
    machine.WriteFile(root + "\\d\\b.txt", "x");
    plat::fault::Inject("DeleteFileA", plat::kErrorSharingViolation, "a.txt");
    DeleteFolderTree(root + "\\d");
    EXPECT_EQ(log.Text(),
              "Deleting file: C:\\scratch\\d/a.txt...Failed (32)\n"
              "Deleting file: C:\\scratch\\d/b.txt...Done\n"
              "Deleting folder: C:\\scratch\\d...Failed (145)\n");
}

TEST_F(FileOpsTest, ATreeHoldingTheCurrentDirectoryIsDeletedWhole) {
    machine.WriteFile(root + "\\user\\a\\b\\f.txt", "x");
    CopyFolderTree(root + "\\user", root + "\\copy");  // leaves the current directory inside the tree
    ASSERT_NE(plat::CurrentDir().find("user"), std::string::npos);
    log.Clear();
    DeleteFolderTree(root + "\\user");
    EXPECT_EQ(log.Text().find("Failed"), std::string::npos) << log.Text();
    EXPECT_FALSE(machine.Exists(root + "\\user"));
}

TEST_F(FileOpsTest, AFolderLinkIsRemovedItselfAndNeverFollowed) {
    namespace fs = std::filesystem;
    machine.WriteFile(root + "\\outside\\precious.txt", "keep me");
    machine.MakeFolder(root + "\\tree");
    fs::create_directory_symlink(machine.HostPath(root + "\\outside"), machine.HostPath(root) + "/tree/link");
    machine.WriteFile(root + "\\file-target.txt", "keep me too");
    fs::create_symlink(machine.HostPath(root + "\\file-target.txt"), machine.HostPath(root) + "/tree/flink.txt");
    EXPECT_EQ(plat::GetAttributes(root + "\\tree\\link"), 0x410u);

    EXPECT_TRUE(CopyFolderTree(root + "\\tree", root + "\\copy"));
    EXPECT_FALSE(machine.Exists(root + "\\copy\\link\\precious.txt"));

    DeleteFolderTree(root + "\\tree");
    EXPECT_FALSE(machine.Exists(root + "\\tree"));
    EXPECT_EQ(machine.ReadFile(root + "\\outside\\precious.txt"), "keep me");
    EXPECT_EQ(machine.ReadFile(root + "\\file-target.txt"), "keep me too");
}

}  // namespace
