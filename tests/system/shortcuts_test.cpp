#include "system/shortcuts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "core/installer_state.h"
#include "platform/fault.h"
#include "support/log_capture.h"
#include "support/scratch_machine.h"

namespace {

// The fields lnkinfo reads back from a link file, by their label.
std::map<std::string, std::string> ReadLink(const std::string& hostPath) {
    std::map<std::string, std::string> fields;
    std::string command = "lnkinfo '" + hostPath + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return fields;
    char line[4096];
    while (fgets(line, sizeof line, pipe)) {
        std::string text = line;
        if (!text.empty() && text.back() == '\n') text.pop_back();
        std::size_t colon = text.find(": ");
        if (colon == std::string::npos) continue;
        std::size_t start = text.find_first_not_of('\t');
        std::size_t end = text.find_last_not_of("\t ", colon - 1);
        fields[text.substr(start, end - start + 1)] = text.substr(colon + 2);
    }
    pclose(pipe);
    return fields;
}

class ShortcutsTest : public ::testing::Test {
protected:
    ShortcutsTest() {
        state.startMenuFolder = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs/AerovinRC";
        state.desktopFolder = "C:\\users\\Public\\Desktop";
        state.installFolder = "C:\\Games\\Aerovin RC";
        state.builderFolder = "C:\\Games\\Aerovin Builder";
        state.appDataFolder = "C:\\users\\u\\AppData\\Roaming/AerovinRC";
        state.statusText = &status;
    }
    std::map<std::string, std::string> Link(const std::string& windowsPath) {
        return ReadLink(machine.HostPath(windowsPath));
    }
    ScratchMachine machine;
    LogCapture log;
    plat::fault::Scope faults;
    afx::CStatic status;
    CPatchwellApp state;
};

const char kEntry[] =
    "Creating registry keys...\n"
    "Creating: Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\AerovinRC...\n"
    "Done\n";

TEST_F(ShortcutsTest, BothSetsMakeThirteenLinksInOrder) {
    state.createStartMenuShortcuts = true;
    state.createDesktopShortcuts = true;
    state.CreateShortcuts();
    const std::string sm = state.startMenuFolder;
    const std::string ig = "C:\\Games\\Aerovin RC";
    std::string expected = "Creating shortcuts:\n  Creating start menu folder: " + sm + "\n";
    auto row = [&](const std::string& announce, const std::string& link, const std::string& target,
                   const std::string& description) {
        expected += announce + link + "\nCreating shortcut: " + link + " -> " + target + " (" + description +
                    ")...Success\n";
    };
    row("  Creating shortcut: ", sm + "/AerovinRC.lnk", ig + "/AerovinRC.exe", "Launch Aerovin R/C");
    row("  Creating shortcut: ", sm + "/Aerovin Builder.lnk", "C:\\Games\\Aerovin Builder/AerovinBuilder.exe",
        "Launch Aerovin Builder");
    row("  Creating shortcut: ", sm + "/Uninstall.lnk", "\"C:\\users\\u\\AppData\\Roaming/AerovinRC/Uninstall.exe\"",
        "Uninstall Aerovin R/C");
    const char* guides[][3] = {{"Czech", "CZ", "Czech"},       {"German", "DE", "German"},
                               {"Spain", "ES", "Spain"},       {"France", "FR", "French"},
                               {"English", "GB", "English"},   {"Italian", "IT", "Italian"},
                               {"Japanese", "JP", "Japanese"}, {"Portuguese", "PT", "Portuguese"}};
    for (const auto& g : guides)
        row("  Creating shortcut: ", sm + "/User Guide/" + g[0] + ".lnk",
            ig + "/resources/manual/aerovin_usermanual_v3_" + g[1] + ".pdf", std::string(g[2]) + " user guide");
    row("  Creating desktop shortcut: ", "C:\\users\\Public\\Desktop/AerovinRC.lnk", ig + "/AerovinRC.exe",
        "Launch Aerovin R/C");
    row("  Creating desktop shortcut: ", "C:\\users\\Public\\Desktop/Aerovin Builder.lnk",
        "C:\\Games\\Aerovin Builder/AerovinBuilder.exe", "Launch Aerovin Builder");
    EXPECT_EQ(log.Text(), expected + kEntry);
    EXPECT_EQ(status.GetWindowText(), "Creating shortcuts...");

    auto spain = Link(sm + "/User Guide/Spain.lnk");
    EXPECT_EQ(spain["Description"], "Spain user guide");
    EXPECT_EQ(spain["Local path"], "C:\\Games\\Aerovin RC\\resources\\manual\\aerovin_usermanual_v3_ES.pdf");
    EXPECT_EQ(Link(sm + "/User Guide/France.lnk")["Description"], "French user guide");
    auto desktop = Link("C:\\users\\Public\\Desktop\\Aerovin Builder.lnk");
    EXPECT_EQ(desktop["Local path"], "C:\\Games\\Aerovin Builder\\AerovinBuilder.exe");
    EXPECT_EQ(desktop["Description"], "Launch Aerovin Builder");
}

TEST_F(ShortcutsTest, TheUninstallLinkKeepsItsQuotedTargetAndArguments) {
    state.createStartMenuShortcuts = true;
    state.CreateShortcuts();
    auto uninstall = Link(state.startMenuFolder + "/Uninstall.lnk");
    EXPECT_EQ(uninstall["Local path"], "C:\\users\\u\\AppData\\Roaming\\AerovinRC\\Uninstall.exe");
    EXPECT_EQ(uninstall["Command line arguments"], "\"C:\\Games\\Aerovin RC\"");
    EXPECT_EQ(uninstall["Description"], "Uninstall Aerovin R/C");
    // Re-running the step replaces each link.
    state.installFolder = "D:\\Other Place";
    state.CreateShortcuts();
    EXPECT_EQ(Link(state.startMenuFolder + "/Uninstall.lnk")["Command line arguments"], "\"D:\\Other Place\"");
}

TEST_F(ShortcutsTest, EachSetAloneAndNeither) {
    struct Case {
        bool startMenu, desktop;
        int links;
    } cases[] = {{true, false, 11}, {false, true, 2}, {false, false, 0}};
    for (const Case& c : cases) {
        ScratchMachine fresh;
        LogCapture caseLog;
        state.createStartMenuShortcuts = c.startMenu;
        state.createDesktopShortcuts = c.desktop;
        state.CreateShortcuts();
        std::size_t successes = 0;
        for (std::size_t at = 0; (at = caseLog.Text().find("...Success\n", at)) != std::string::npos; ++at)
            ++successes;
        EXPECT_EQ(successes, static_cast<std::size_t>(c.links)) << c.startMenu << c.desktop;
        EXPECT_EQ(fresh.Exists(state.startMenuFolder), c.startMenu);
        EXPECT_EQ(fresh.Exists(state.startMenuFolder + "/User Guide/Portuguese.lnk"), c.startMenu);
        EXPECT_EQ(fresh.Exists("C:\\users\\Public\\Desktop\\AerovinRC.lnk"), c.desktop);
        if (!c.startMenu && !c.desktop) {
            EXPECT_EQ(caseLog.Text(), std::string("Creating shortcuts:\n") + kEntry);
        }
    }
}

TEST_F(ShortcutsTest, FailuresEndTheLinkLineWithTheirError) {
    // Folders of this test, not of an installer state: the guard must let them be.
    ScopedOwnedFolder links("C:\\links"), nowhere("C:\\nowhere");
    machine.MakeFolder("C:\\links");
    std::string announce = "Creating shortcut: C:\\links/a.lnk -> C:\\a.exe (A)...";
    struct Case {
        const char* call;
        plat::DWORD code;
        const char* outcome;
        bool result;
    } cases[] = {
        {"CoCreateInstance", 0x80040154u, "Error: could not create instance\n", false},
        {"QueryInterface", 0x80004002u, "Error: could not QueryInterface\n", false},
        {"IPersistFile::Save", 5, "Error: could not save link: 0x80070005\n", false},
        {"IShellLinkA::SetPath", 2, "Success\n", true},  // its result is not examined
    };
    for (const Case& c : cases) {
        plat::fault::Inject(c.call, c.code);
        log.Clear();
        EXPECT_EQ(CreateShortcut("C:\\links/a.lnk", "C:\\a.exe", "A", ""), c.result) << c.call;
        EXPECT_EQ(log.Text(), announce + c.outcome) << c.call;
        plat::fault::Clear();
    }
    // A missing folder: the save's own error.
    log.Clear();
    EXPECT_FALSE(CreateShortcut("C:\\nowhere/a.lnk", "C:\\a.exe", "A", ""));
    EXPECT_EQ(log.Text(), "Creating shortcut: C:\\nowhere/a.lnk -> C:\\a.exe (A)...Error: could not save link: 0x80070003\n");
    // A path of 260 characters does not fit with its terminator and is refused before the save.
    std::string longPath = "C:\\links/" + std::string(247, 'x') + ".lnk";
    ASSERT_EQ(longPath.size(), 260u);
    log.Clear();
    EXPECT_FALSE(CreateShortcut(longPath, "C:\\a.exe", "A", ""));
    EXPECT_EQ(log.Text(), "Creating shortcut: " + longPath + " -> C:\\a.exe (A)...Error: could not save link: 0x8007007a\n");
    longPath.erase(9, 1);
    log.Clear();
    EXPECT_TRUE(CreateShortcut(longPath, "C:\\a.exe", "A", ""));
}

}  // namespace
