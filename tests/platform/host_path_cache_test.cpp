// The POSIX backend keeps the names of the folders it looks names up in; what
// another process does to those folders must show at once.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/posix/machine.h"
#include "support/scratch_machine.h"

namespace {

class HostPathCacheTest : public ::testing::Test {
protected:
    ScratchMachine machine;
    std::string root = machine.Root();
    std::string hostRoot = machine.HostPath(root);
};

TEST_F(HostPathCacheTest, NamesMadeBehindTheBackendAreFoundWithoutRegardToCase) {
    ASSERT_TRUE(plat::MakeFolder(root + "\\Data"));
    // The folder is read once: "cfg.ini" is missing, and the answer is kept.
    EXPECT_EQ(plat::GetAttributes(root + "\\Data\\CFG.INI"), plat::kInvalidAttributes);
    EXPECT_EQ(plat::posix::HostPathOf(root + "\\Data\\CFG.INI"), hostRoot + "/Data/CFG.INI");

    // Another process writes the file, in its own spelling, within the same tick.
    std::FILE* file = std::fopen((hostRoot + "/Data/cfg.ini").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_EQ(plat::posix::HostPathOf(root + "\\Data\\CFG.INI"), hostRoot + "/Data/cfg.ini");
    EXPECT_EQ(plat::GetAttributes(root + "\\data\\Cfg.Ini"), plat::kAttrArchive);

    // And removes it again: the name is free once more.
    ASSERT_EQ(std::remove((hostRoot + "/Data/cfg.ini").c_str()), 0);
    EXPECT_EQ(plat::posix::HostPathOf(root + "\\Data\\CFG.INI"), hostRoot + "/Data/CFG.INI");
    EXPECT_FALSE(plat::PathExists(root + "\\Data\\CFG.INI"));

    // Our own writes are found too, in the case they were made in.
    plat::StreamHolder own(plat::OpenStream(root + "\\Data\\Mixed.Txt", "w"));
    ASSERT_TRUE(own);
    own.Close();
    EXPECT_EQ(plat::posix::HostPathOf(root + "\\DATA\\MIXED.TXT"), hostRoot + "/Data/Mixed.Txt");
}

TEST_F(HostPathCacheTest, FolderRenamedOnTheHostIsNotReachedByItsOldName) {
    ASSERT_TRUE(plat::MakeFolder(root + "\\Old"));
    ASSERT_TRUE(plat::MakeFolder(root + "\\Old\\Inner"));
    EXPECT_EQ(plat::posix::HostPathOf(root + "\\OLD\\INNER"), hostRoot + "/Old/Inner");

    ASSERT_EQ(std::rename((hostRoot + "/Old").c_str(), (hostRoot + "/Renamed").c_str()), 0);
    EXPECT_EQ(plat::posix::HostPathOf(root + "\\OLD\\INNER"), hostRoot + "/OLD/INNER");
    EXPECT_FALSE(plat::PathExists(root + "\\old\\inner"));
    EXPECT_EQ(plat::posix::HostPathOf(root + "\\RENAMED\\INNER"), hostRoot + "/Renamed/Inner");
    EXPECT_TRUE(plat::PathExists(root + "\\renamed\\inner"));

    // A new folder of the old name, in other letters, is a different folder.
    ASSERT_EQ(std::rename((hostRoot + "/Renamed").c_str(), (hostRoot + "/oLD").c_str()), 0);
    EXPECT_EQ(plat::posix::HostPathOf(root + "\\Old\\inner"), hostRoot + "/oLD/Inner");
    EXPECT_FALSE(plat::PathExists(root + "\\Renamed"));
}

TEST_F(HostPathCacheTest, NamesDifferingOnlyInCaseResolveToTheExactOneFirst) {
    ASSERT_TRUE(plat::MakeFolder(root + "\\Twin"));
    EXPECT_EQ(plat::posix::HostPathOf(root + "\\twin\\A.TXT"), hostRoot + "/Twin/A.TXT");
    for (const char* name : {"/Twin/a.txt", "/Twin/A.txt"}) {
        std::FILE* file = std::fopen((hostRoot + name).c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fclose(file);
    }
    EXPECT_EQ(plat::posix::HostPathOf(root + "\\twin\\a.txt"), hostRoot + "/Twin/a.txt");
    EXPECT_EQ(plat::posix::HostPathOf(root + "\\twin\\A.txt"), hostRoot + "/Twin/A.txt");
    std::string either = plat::posix::HostPathOf(root + "\\twin\\A.TXT");
    EXPECT_TRUE(either == hostRoot + "/Twin/a.txt" || either == hostRoot + "/Twin/A.txt") << either;
    // Down to one spelling, that one is found.
    ASSERT_EQ(std::remove((hostRoot + "/Twin/a.txt").c_str()), 0);
    EXPECT_EQ(plat::posix::HostPathOf(root + "\\twin\\A.TXT"), hostRoot + "/Twin/A.txt");
}

}  // namespace
