// The five known folders the installer asks for, answered as Wine answers
// them: the path wherever something stands there, a file too, and a failure
// with no path where nothing does.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "support/scratch_machine.h"

namespace {

struct KnownFolder {
    int csidl;
    const char* name;
};

constexpr KnownFolder kFolders[] = {
    {plat::kCsidlPersonal, "Documents"},
    {plat::kCsidlAppData, "application data"},
    {plat::kCsidlCommonPrograms, "all users' Start-menu programs"},
    {plat::kCsidlCommonDesktop, "all users' desktop"},
    {plat::kCsidlProgramFiles, "Program Files"},
};

TEST(KnownFoldersContractTest, AFolderIsFoundWhereSomethingStandsAndNotWhereNothingDoes) {
    ScratchMachine machine;
    for (const KnownFolder& known : kFolders) {
        SCOPED_TRACE(known.name);
        std::string folder;
        ASSERT_EQ(plat::FolderPath(known.csidl, &folder), 0);
        ASSERT_FALSE(folder.empty());
        std::string aside = folder + ".pwaside";
        ASSERT_TRUE(plat::MoveFileReplace(folder, aside)) << folder << ": " << plat::LastError();

        std::string answer = "left over";
        EXPECT_NE(plat::FolderPath(known.csidl, &answer), 0);
        EXPECT_EQ(answer, "");

        machine.WriteFile(folder, "a file where the folder was");
        answer.clear();
        EXPECT_EQ(plat::FolderPath(known.csidl, &answer), 0);
        EXPECT_EQ(answer, folder);

        EXPECT_TRUE(plat::RemoveFile(folder));
        ASSERT_TRUE(plat::MoveFileReplace(aside, folder)) << aside << ": " << plat::LastError();
        answer.clear();
        EXPECT_EQ(plat::FolderPath(known.csidl, &answer), 0);
        EXPECT_EQ(answer, folder);
    }
}

}  // namespace
