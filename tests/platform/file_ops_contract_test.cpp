// The file-system helpers' guards against the current directory and against
// folder links, on both backends.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/file_ops.h"
#include "platform/platform.h"
#include "support/log_capture.h"
#include "support/scratch_machine.h"

namespace {

class FileOpsContractTest : public ::testing::Test {
protected:
    ScratchMachine machine;
    CurrentDirRestorer restorer;
    LogCapture log;
    std::string root = machine.Root();
    ScopedOwnedFolder fixtureOwned;
};

TEST_F(FileOpsContractTest, ATreeHoldingTheCurrentDirectoryIsDeletedWhole) {
    machine.WriteFile(root + "\\Documents\\AerovinRC\\Settings\\deep\\f.txt", "x");
    machine.WriteFile(root + "\\Documents\\AerovinRC\\a.txt", "x");
    // Copying enters every folder of the tree and leaves the deepest one current.
    CopyFolderTree(root + "\\Documents\\AerovinRC", root + "\\Documents\\AerovinTemp");
    DeleteFolderTree(root + "\\Documents\\AerovinRC");
    DeleteFolderTree(root + "\\Documents\\AerovinTemp");
    EXPECT_EQ(log.Text().find("Failed"), std::string::npos) << log.Text();
    EXPECT_FALSE(machine.Exists(root + "\\Documents\\AerovinRC"));
    EXPECT_FALSE(machine.Exists(root + "\\Documents\\AerovinTemp"));
    EXPECT_EQ(plat::PathExists(root + "\\Documents"), 1);
}

TEST_F(FileOpsContractTest, DeletingATreeNeverReachesThroughAFolderLink) {
    machine.WriteFile(root + "\\elsewhere\\precious.txt", "keep");
    machine.MakeFolder(root + "\\tree");
    std::error_code error;
    std::filesystem::create_directory_symlink(machine.HostPath(root + "\\elsewhere"),
                                              machine.HostPath(root + "\\tree") + "/link", error);
    if (error) {
        // Wine cannot make links itself; the test command makes one on the host
        // side of its prefix and names it here.
        const char* fixture = std::getenv("PW_LINK_FIXTURE");
        if (!fixture) GTEST_SKIP() << "this system cannot make folder links: " << error.message();
        root = fixture;
        fixtureOwned.Own(root);
    }
    bool hostMadeLink = static_cast<bool>(error);
    plat::DWORD attrib = plat::GetAttributes(root + "\\tree\\link");
    EXPECT_EQ(attrib & 0x410u, 0x410u);

    EXPECT_TRUE(CopyFolderTree(root + "\\tree", root + "\\copy"));
    EXPECT_FALSE(machine.Exists(root + "\\copy\\link\\precious.txt"));
    DeleteFolderTree(root + "\\tree");
    // Wine 8 cannot remove a link that the host made (RemoveDirectoryA and
    // DeleteFileA both refuse it); what matters is that its target is kept.
    if (!hostMadeLink) {
        EXPECT_FALSE(machine.Exists(root + "\\tree"));
    }
    EXPECT_EQ(machine.ReadFile(root + "\\elsewhere\\precious.txt"), "keep");
}

}  // namespace
