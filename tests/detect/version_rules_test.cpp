#include "detect/version_rules.h"

#include <gtest/gtest.h>

#include <climits>

#include "core/installer_state.h"
#include "support/fresh_installer_state.h"
#include "support/log_capture.h"
#include "support/scratch_machine.h"

namespace {

struct ParseCase {
    const char* text;
    int major;
    int minor;
    char letter;
};

TEST(VersionRules, ParseTakesNumbersAsAtoiAndTheLetterAfterTheLastDot) {
    const ParseCase cases[] = {
        {"5.0.r", 5, 0, 'r'},
        {"5.0.r\n", 5, 0, 'r'},
        {"5.0", 5, 0, '0'},
        {"4.1", 4, 0, '1'},  // the minor number needs a second dot
        {"5.0.", 5, 0, 'a'},
        {"1.2.3.4", 1, 2, '4'},
        {"", 0, 0, 'a'},
        {"  5.0.r", 5, 0, 'r'},
        {"\t+5.7.b", 5, 7, 'b'},
        {"-1.0.a", -1, 0, 'a'},
        {"5x.y3.q", 5, 0, 'q'},
        {"5 .0.r", 5, 0, 'r'},
        {"7", 0, 0, '7'},
        {"99999999999.0.a", INT_MAX, 0, 'a'},  // saturates instead of wrapping
        {"-99999999999.0.a", INT_MIN, 0, 'a'},
        {"2.-3.\xE9", 2, -3, '\xE9'},
    };
    for (const ParseCase& c : cases) {
        VersionNumber v = ParseVersion(c.text);
        EXPECT_EQ(v.major, c.major) << c.text;
        EXPECT_EQ(v.minor, c.minor) << c.text;
        EXPECT_EQ(v.letter, static_cast<signed char>(c.letter)) << c.text;
    }
}

TEST(VersionRules, FormatAndOrdering) {
    EXPECT_EQ(FormatVersion(ParseVersion("  5.0.r\n")), "5.0.r");
    EXPECT_EQ(FormatVersion(ParseVersion("-1.12.A")), "-1.12.A");
    EXPECT_EQ(FormatVersion(VersionNumber{}), "0.0. ");  // the state's version before detection
    EXPECT_LT(ParseVersion("4.9.z"), ParseVersion("5.0.a"));
    EXPECT_LT(ParseVersion("5.0.z"), ParseVersion("5.1.a"));
    EXPECT_LT(ParseVersion("0.0.A"), ParseVersion("0.0.a"));
    EXPECT_LT(ParseVersion("0.0.\xE9"), ParseVersion("0.0.a"));  // letters compare signed
    EXPECT_EQ(ParseVersion("5.0.r"), ParseVersion("5.0.r\r\n"));
    EXPECT_EQ(CompareVersions(ParseVersion("3.2.c"), ParseVersion("3.2.b")), 1);
}

TEST(VersionRules, AcceptedFromZeroZeroAToFiveZeroR) {
    struct Case {
        const char* text;
        bool accepted;
    } cases[] = {
        {"0.0.a", true},  {"1.0.a", true},  {"4.9.z", true},   {"5.0.r", true},   {"5.0", true},
        {"5.0.\xE9", true},  // below 'r' when signed
        {"5.0.s", false}, {"5.1.a", false}, {"6.0.a", false},  {"0.0.A", false},  {"-1.0.a", false},
        {"0.0.\xE9", false}, {"99999999999.0.a", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsVersionAccepted(ParseVersion(c.text)), c.accepted) << c.text;
}

TEST(VersionRules, BuilderFolderIsTheSiblingOfTheInstallation) {
    struct Case {
        const char* folder;
        const char* builder;
    } cases[] = {
        {"C:\\Program Files\\AerovinRC", "C:\\Program Files\\AerovinBuilder"},
        {"C:\\Program Files\\AerovinRC\\", "C:\\Program Files\\AerovinBuilder"},
        {"C:\\Program Files\\AerovinRC/\\/", "C:\\Program Files\\AerovinBuilder"},
        {"D:\\\\Games\\Sims", "D:\\\\Games\\AerovinBuilder"},
        {"C:/Games/Sim", "C:/Games/AerovinBuilder"},
        {"C:\\AerovinRC", "C:\\AerovinBuilder"},
        {"AerovinRC", "AerovinBuilder"},
        {"", "AerovinBuilder"},
    };
    for (const Case& c : cases) EXPECT_EQ(BuilderFolderFor(c.folder), c.builder) << c.folder;
}

class RecordInstallationTest : public ::testing::Test {
protected:
    FreshInstallerState fresh;  // first in, last out
    RecordInstallationTest() {
        theApp.installFolder.clear();
        theApp.builderFolder.clear();
        theApp.installedVersion = VersionNumber{};
    }
    ScratchMachine machine;
    LogCapture log;
    std::string folder = machine.Root() + "\\AerovinRC";

    std::string ExpectedLog(bool versionFile, const char* version) const {
        return "Installation folder set to: C:\\scratch\\AerovinRC\n"
               "Builder path set to: C:\\scratch\\AerovinBuilder\n" +
               std::string(versionFile ? "Version file detected\n" : "") + "  Version detected: " + version + "\n";
    }
};

TEST_F(RecordInstallationTest, WithoutVersionFileTheDefaultStands) {
    machine.WriteFile(folder + "\\AerovinRC.exe", "");
    RecordInstallation(folder);
    EXPECT_EQ(log.Text(), ExpectedLog(false, "1.0.a"));
    EXPECT_EQ(theApp.installFolder, "C:\\scratch\\AerovinRC");
    EXPECT_EQ(theApp.builderFolder, "C:\\scratch\\AerovinBuilder");
    EXPECT_EQ(theApp.installedVersion, ParseVersion("1.0.a"));
    EXPECT_TRUE(IsVersionAccepted(theApp.installedVersion));
}

TEST_F(RecordInstallationTest, OnlyTheFirstLineOfTheVersionFileCounts) {
    struct Case {
        const char* bytes;
        const char* version;
    } cases[] = {
        {"5.0.r\r\n6.1.z\r\n", "5.0.r"},
        {"  5.0.r\r\n", "5.0.r"},
        {"5.1.a", "5.1.a"},
        {"5.0\r\n", "5.0.0"},
        {"\r\n5.0.r\r\n", "0.0.\n"},  // an empty first line: its line end is the letter
        // 31 characters of the line are read: "4.4." and 27 b's; the ".c" beyond them is not.
        {"4.4.bbbbbbbbbbbbbbbbbbbbbbbbbbb.c\r\n", "4.4.b"},
        {"2.1.q\x1a" "9.9.z", "2.1.q"},  // text mode ends at Ctrl-Z
    };
    for (const Case& c : cases) {
        log.Clear();
        machine.WriteFile(folder + "\\AerovinRC.ver", c.bytes);
        RecordInstallation(folder);
        EXPECT_EQ(log.Text(), ExpectedLog(true, c.version)) << c.bytes;
    }
}

TEST_F(RecordInstallationTest, AnEmptyVersionFileKeepsTheDefault) {
    machine.WriteFile(folder + "\\AerovinRC.ver", "");
    theApp.installedVersion = ParseVersion("4.0.c");
    RecordInstallation(folder);
    EXPECT_EQ(log.Text(), ExpectedLog(true, "1.0.a"));
    EXPECT_EQ(theApp.installedVersion, ParseVersion("1.0.a"));
}

TEST_F(RecordInstallationTest, AVersionFileThatCannotBeOpenedIsNoError) {
    machine.MakeFolder(folder + "\\AerovinRC.ver");  // a folder does not open as a file
    RecordInstallation(folder);
    EXPECT_EQ(log.Text(), ExpectedLog(false, "1.0.a"));
}

}  // namespace
