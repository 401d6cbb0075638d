// The Windows program's command line: the silent mode's options as
// administrators write them, and what is refused.
#include "app_win32/windows_options.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowsOptions, NoArgumentIsTheWizardWithEveryBoxTicked) {
    WindowsOptions options;
    std::string problem;
    ASSERT_TRUE(ParseWindowsOptions({}, &options, &problem));
    EXPECT_FALSE(options.unattended);
    EXPECT_FALSE(options.help);
    EXPECT_TRUE(options.choices.startMenuShortcuts && options.choices.desktopShortcuts && options.choices.backup);
}

TEST(WindowsOptions, SilentModeWithItsChoicesInAnySpellingAndCase) {
    WindowsOptions options;
    std::string problem;
    ASSERT_TRUE(ParseWindowsOptions({"/unattended", "/no-desktop-shortcuts", "/no-backup"}, &options, &problem));
    EXPECT_TRUE(options.unattended);
    EXPECT_TRUE(options.choices.startMenuShortcuts);
    EXPECT_FALSE(options.choices.desktopShortcuts);
    EXPECT_FALSE(options.choices.backup);

    ASSERT_TRUE(ParseWindowsOptions({"-UNATTENDED", "--No-Start-Menu-Shortcuts"}, &options, &problem));
    EXPECT_TRUE(options.unattended);
    EXPECT_FALSE(options.choices.startMenuShortcuts);
    EXPECT_TRUE(options.choices.desktopShortcuts);  // a parse starts afresh
    EXPECT_TRUE(options.choices.backup);

    for (const char* help : {"/?", "-?", "/h", "--help"}) {
        ASSERT_TRUE(ParseWindowsOptions({help}, &options, &problem)) << help;
        EXPECT_TRUE(options.help) << help;
    }
}

TEST(WindowsOptions, AnUnknownArgumentIsNamedAndTheRestStillRead) {
    WindowsOptions options;
    std::string problem;
    EXPECT_FALSE(ParseWindowsOptions({"/bogus", "/unattended", "C:\\elsewhere"}, &options, &problem));
    EXPECT_EQ(problem, "/bogus");
    EXPECT_TRUE(options.unattended);  // so that no box waits for a click
    EXPECT_FALSE(ParseWindowsOptions({"unattended"}, &options, &problem));  // no option mark
    EXPECT_EQ(problem, "unattended");
    EXPECT_FALSE(ParseWindowsOptions({"/"}, &options, &problem));
    EXPECT_TRUE(ParseWindowsOptions({"/no-backup"}, &options, &problem));
    EXPECT_EQ(problem, "");
}

TEST(WindowsOptions, TheHelpNamesEveryOptionAndTheExitStatuses) {
    std::string help = WindowsOptionsHelp();
    for (const char* part : {"/unattended", "/no-start-menu-shortcuts", "/no-desktop-shortcuts", "/no-backup", "/?",
                             "0 complete", "1 the update failed", "3 left before the end"}) {
        EXPECT_NE(help.find(part), std::string::npos) << part;
    }
}

}  // namespace
