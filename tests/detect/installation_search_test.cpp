#include "detect/installation_search.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "core/installer_state.h"
#include "platform/fault.h"
#include "platform/posix/machine.h"
#include "support/fresh_installer_state.h"
#include "support/log_capture.h"
#include "support/scratch_machine.h"

namespace {

plat::DWORD clockNow = 0;
plat::DWORD clockStep = 0;
plat::DWORD TestClock() {
    plat::DWORD now = clockNow;
    clockNow += clockStep;
    return now;
}

class InstallationSearchTest : public ::testing::Test {
protected:
    FreshInstallerState fresh;  // first in, last out
    InstallationSearchTest() { theApp.installerFolder = "C:\\Update"; }
    ~InstallationSearchTest() override { plat::posix::SetClock(nullptr); }

    void MakeInstallation(const std::string& folder) const { machine.WriteFile(folder + "\\AerovinRC.exe", "MZ"); }

    // The "  Searching: " lines of the log, without their frame.
    std::vector<std::string> SearchedFolders() const {
        std::vector<std::string> folders;
        std::istringstream lines(log.Text());
        const std::string head = "  Searching: ";
        for (std::string line; std::getline(lines, line);)
            if (line.rfind(head, 0) == 0) folders.push_back(line.substr(head.size(), line.size() - head.size() - 3));
        return folders;
    }

    ScratchMachine machine{ScratchMachine::Options{.extraDriveD = true}};
    CurrentDirRestorer restorer;
    LogCapture log;
    plat::fault::Scope faults;
};

TEST_F(InstallationSearchTest, TheInstallersOwnFolderIsTriedFirstAndEndsTheSearch) {
    MakeInstallation("C:\\Update");
    MakeInstallation("C:\\AerovinRC");
    EXPECT_EQ(FindPreviousInstallation(), "C:\\Update");
    EXPECT_EQ(log.Text(), "  Checking: C:\\Update...Found\n");
}

TEST_F(InstallationSearchTest, WithoutADriveListOnlyTheInstallersFolderIsTried) {
    MakeInstallation("C:\\AerovinRC");
    plat::fault::Inject("GetLogicalDriveStringsA", 5);
    EXPECT_EQ(FindPreviousInstallation(), "");
    EXPECT_EQ(log.Text(), "  Checking: C:\\Update...Not found\n");
}

TEST_F(InstallationSearchTest, FixedLocationsAreTriedInTableOrderOnEveryDrive) {
    MakeInstallation("C:\\Program Files\\AerovinRC");
    MakeInstallation("C:\\AerovinRC");
    EXPECT_EQ(FindPreviousInstallation(), "C:\\AerovinRC");
    EXPECT_EQ(log.Text(),
              "  Checking: C:\\Update...Not found\n"
              "  Checking: C:\\AerovinRC...Found\n");
}

TEST_F(InstallationSearchTest, FixedLocationsOfEveryDriveComeBeforeAnyTreeSearch) {
    MakeInstallation("C:\\Games\\Sims");  // found by the tree search, which comes later
    MakeInstallation("D:\\Program Files (x86)\\AerovinRC");
    EXPECT_EQ(FindPreviousInstallation(), "D:\\Program Files (x86)\\AerovinRC");
    EXPECT_EQ(log.Text(),
              "  Checking: C:\\Update...Not found\n"
              "  Checking: C:\\AerovinRC...Not found\n"
              "  Checking: C:\\Program Files\\AerovinRC...Not found\n"
              "  Checking: C:\\Program Files (x86)\\AerovinRC...Not found\n"
              "  Checking: D:\\AerovinRC...Not found\n"
              "  Checking: D:\\Program Files\\AerovinRC...Not found\n"
              "  Checking: D:\\Program Files (x86)\\AerovinRC...Found\n");
}

TEST_F(InstallationSearchTest, TreeSearchIsPreOrderToTwoLevelsAndSkipsDotFolders) {
    MakeInstallation("D:\\.AerovinRC");
    MakeInstallation("D:\\.cache\\AerovinRC");
    MakeInstallation("D:\\Alpha\\Deep\\AerovinRC");  // three names below the root
    machine.WriteFile("D:\\Alpha\\notes.txt", "");
    MakeInstallation("D:\\Games\\Sims");
    machine.MakeFolder("D:\\Zeta");
    std::string found = SearchFolderTree("D:\\", nullptr, 0, kSearchBudgetMs, 0, kSearchMaximumDepth);
    EXPECT_EQ(found, "D:\\\\Games\\Sims");
    EXPECT_EQ(log.Text(),
              "  Searching: D:\\...\n"
              "  Checking: D:\\...Not found\n"
              "  Searching: D:\\\\Alpha...\n"
              "  Checking: D:\\\\Alpha...Not found\n"
              "  Searching: D:\\\\Alpha\\Deep...\n"
              "  Checking: D:\\\\Alpha\\Deep...Not found\n"
              "  Searching: D:\\\\Games...\n"
              "  Checking: D:\\\\Games...Not found\n"
              "  Searching: D:\\\\Games\\Sims...\n"
              "  Checking: D:\\\\Games\\Sims...Found\n");
}

TEST_F(InstallationSearchTest, HiddenAndSystemFoldersAreSearched) {
    MakeInstallation("D:\\Hidden\\AerovinRC");
    MakeInstallation("D:\\System\\AerovinRC");
    plat::SetAttributes("D:\\Hidden", plat::kAttrHidden);
    plat::SetAttributes("D:\\System", plat::kAttrSystem);
    EXPECT_EQ(SearchFolderTree("D:\\", nullptr, 0, kSearchBudgetMs, 0, kSearchMaximumDepth), "D:\\\\Hidden\\AerovinRC");
    EXPECT_EQ(SearchFolderTree("D:\\System", nullptr, 0, kSearchBudgetMs, 1, kSearchMaximumDepth),
              "D:\\System\\AerovinRC");
}

TEST_F(InstallationSearchTest, AnInstallationThreeNamesBelowTheRootIsNotFound) {
    MakeInstallation("D:\\Games\\Sims\\AerovinRC");
    EXPECT_EQ(FindPreviousInstallation(), "");
    std::vector<std::string> folders = SearchedFolders();
    EXPECT_EQ(std::vector<std::string>(folders.end() - 3, folders.end()),
              (std::vector<std::string>{"D:\\", "D:\\\\Games", "D:\\\\Games\\Sims"}));
    EXPECT_FALSE(log.Contains("Sims\\AerovinRC"));
}

TEST_F(InstallationSearchTest, DriveCIsSearchedCompletelyBeforeD) {
    MakeInstallation("D:\\Games\\Sims");
    EXPECT_EQ(FindPreviousInstallation(), "D:\\\\Games\\Sims");
    std::vector<std::string> folders = SearchedFolders();
    auto driveD = std::find(folders.begin(), folders.end(), "D:\\");
    ASSERT_NE(driveD, folders.end());
    EXPECT_EQ(folders.front(), "C:\\");
    for (auto it = folders.begin(); it != driveD; ++it) EXPECT_EQ(it->rfind("C:\\", 0), 0u) << *it;
    // Two levels below C:\ are searched before D:\ is touched; three are not.
    EXPECT_NE(std::find(folders.begin(), driveD, "C:\\\\windows\\system32"), driveD);
    EXPECT_EQ(std::find(folders.begin(), driveD, "C:\\\\ProgramData\\Microsoft\\Windows"), driveD);
    EXPECT_TRUE(log.Contains("  Searching: D:\\\\Games\\Sims...\n  Checking: D:\\\\Games\\Sims...Found\n"));
    EXPECT_TRUE(log.Text().ends_with("Found\n"));
}

TEST_F(InstallationSearchTest, ProgressIsElapsedTimeAgainstTheBudget) {
    plat::posix::SetClock(TestClock);
    struct Case {
        plat::DWORD start;
        plat::DWORD now;
        int position;
    } cases[] = {
        {0, 0, 0},          {0, 1199, 0},       {0, 1200, 1},         {0, 60000, 50},
        {0, 119999, 99},    {0, 120000, 100},   {4294967196u, 59900, 50},  // elapsed wraps at 2^32
    };
    machine.MakeFolder("D:\\Empty");
    for (const Case& c : cases) {
        afx::CProgressCtrl bar;
        clockNow = c.now;
        clockStep = 0;
        SearchFolderTree("D:\\Empty", &bar, c.start, kSearchBudgetMs, 0, kSearchMaximumDepth);
        EXPECT_EQ(bar.State().position, c.position) << c.now;
        EXPECT_EQ(bar.State().repaints, 1);
    }
    // Past two minutes the bar stays full, and it is repainted once per folder visited.
    machine.MakeFolder("D:\\Empty\\a\\b");
    afx::CProgressCtrl bar;
    clockNow = 100000;
    clockStep = 30000;
    SearchFolderTree("D:\\Empty", &bar, 0, kSearchBudgetMs, 0, kSearchMaximumDepth);
    EXPECT_GE(bar.State().position, 100);
    EXPECT_EQ(bar.State().repaints, 3);
}

}  // namespace
