#include "system/uninstall_registry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/installer_state.h"
#include "platform/fault.h"
#include "platform/posix/registry_store.h"
#include "platform/registry.h"
#include "support/log_capture.h"
#include "support/scratch_machine.h"

namespace {

const char kWow[] = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kPlain[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Sets one REG_SZ value, making the key if needed.
void SetText(plat::RegHandle root, const std::string& path, const std::string& name, const std::string& text) {
    plat::RegKey key;
    ASSERT_EQ(plat::RegCreateKey(root, path, plat::kKeyAllAccess, key.Put(), nullptr), 0) << path;
    ASSERT_EQ(plat::RegSetValue(key.Get(), name, plat::kRegSz, text.c_str(), static_cast<plat::DWORD>(text.size() + 1)),
              0);
}

void MakeKey(plat::RegHandle root, const std::string& path) {
    plat::RegKey key;
    ASSERT_EQ(plat::RegCreateKey(root, path, plat::kKeyAllAccess, key.Put(), nullptr), 0) << path;
}

bool KeyExists(plat::RegHandle root, const std::string& path) {
    plat::RegKey key;
    return plat::RegOpenKey(root, path, plat::kKeyQueryValue, key.Put()) == 0;
}

std::string TextOf(plat::RegHandle root, const std::string& path, const std::string& name) {
    std::string text;
    return plat::posix::ReadRegistryText(root, path, name, &text) ? text : "<missing>";
}

class UninstallRegistryTest : public ::testing::Test {
protected:
    explicit UninstallRegistryTest(bool win64 = false) : machine(ScratchMachine::Options{win64, false}) {}
    ScratchMachine machine;
    LogCapture log;
    plat::fault::Scope faults;
};

class UninstallRegistry64Test : public UninstallRegistryTest {
protected:
    UninstallRegistry64Test() : UninstallRegistryTest(true) {}
};

TEST_F(UninstallRegistryTest, OnlyExactProductNamesAreRemoved) {
    struct Case {
        const char* key;
        const char* valueName;
        const char* text;
        bool removed;
    } cases[] = {
        {"Short", "DisplayName", "AerovinRC", true},
        {"Display", "DisplayName", "Aerovin R/C\xAE", true},
        {"Product", "ProductName", "AerovinRC", true},
        {"NoSign", "DisplayName", "Aerovin R/C", false},
        {"Lower", "DisplayName", "aerovinrc", false},
        {"Longer", "DisplayName", "AerovinRC x", false},
        {"Prefix", "DisplayName", "Aerovin", false},
        {"OtherValue", "Comments", "AerovinRC", false},
    };
    for (const Case& c : cases) SetText(plat::kHkeyLocalMachine, std::string(kPlain) + "\\" + c.key, c.valueName, c.text);
    CleanUpRegistry();
    for (const Case& c : cases)
        EXPECT_EQ(KeyExists(plat::kHkeyLocalMachine, std::string(kPlain) + "\\" + c.key), !c.removed) << c.key;
    EXPECT_EQ(log.Text(),
              "Cleanin up registry:\n"
              "Error: Failed to open registry key: Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\n"
              "Error: Failed to open registry key: Installer\\Products\n"
              "  Deleting: Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Display...\n"
              "    Deleting key: Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Display\n"
              "  Deleting: Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Product...\n"
              "    Deleting key: Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Product\n"
              "  Deleting: Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Short...\n"
              "    Deleting key: Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Short\n");
}

TEST_F(UninstallRegistryTest, NestedProductKeyGoesDeepestFirstAndABothNamesKeyIsListedTwice) {
    std::string product = "Installer\\Products\\0123ABC";
    SetText(plat::kHkeyClassesRoot, product, "ProductName", "Aerovin R/C\xAE");
    SetText(plat::kHkeyClassesRoot, product, "DisplayName", "AerovinRC");
    MakeKey(plat::kHkeyClassesRoot, product + "\\SourceList\\Media");
    MakeKey(plat::kHkeyClassesRoot, product + "\\SourceList\\Net");
    MakeKey(plat::kHkeyClassesRoot, product + "\\Features");
    MakeKey(plat::kHkeyClassesRoot, "Installer\\Products\\Other");
    plat::fault::Inject("RegOpenKeyExA", 2, "Uninstall");
    CleanUpRegistry();
    EXPECT_EQ(log.Text(),
              "Cleanin up registry:\n"
              "Error: Failed to open registry key: Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\n"
              "Error: Failed to open registry key: Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\n"
              "  Deleting: Installer\\Products\\0123ABC...\n"
              "    Deleting key: Installer\\Products\\0123ABC\n"
              "    Deleting key: Installer\\Products\\0123ABC\\Features\n"
              "    Deleting key: Installer\\Products\\0123ABC\\SourceList\n"
              "    Deleting key: Installer\\Products\\0123ABC\\SourceList\\Media\n"
              "    Deleting key: Installer\\Products\\0123ABC\\SourceList\\Net\n"
              "  Deleting: Installer\\Products\\0123ABC...\n"
              "    Deleting key: Installer\\Products\\0123ABC\n");
    EXPECT_FALSE(KeyExists(plat::kHkeyClassesRoot, product));
    EXPECT_TRUE(KeyExists(plat::kHkeyClassesRoot, "Installer\\Products\\Other"));
    // HKCR lives in HKLM\Software\Classes, as Wine keeps it.
    EXPECT_TRUE(KeyExists(plat::kHkeyLocalMachine, "Software\\Classes\\Installer\\Products\\Other"));
}

TEST_F(UninstallRegistryTest, AKeyThatCannotGoKeepsItsParents) {
    std::string entry = std::string(kPlain) + "\\Old";
    SetText(plat::kHkeyLocalMachine, entry, "DisplayName", "AerovinRC");
    MakeKey(plat::kHkeyLocalMachine, entry + "\\Locked");
    plat::fault::Inject("RegDeleteKeyA", 5, "Locked");
    CleanUpRegistry();
    EXPECT_TRUE(KeyExists(plat::kHkeyLocalMachine, entry + "\\Locked"));
    EXPECT_TRUE(log.Contains("    Deleting key: " + entry + "\n    Deleting key: " + entry + "\\Locked\n"));
}

TEST_F(UninstallRegistry64Test, BothUninstallRowsReachTheSameKeysOnA64BitMachine) {
    SetText(plat::kHkeyLocalMachine, std::string(kPlain) + "\\AerovinRC", "DisplayName", "Aerovin R/C\xAE");
    CleanUpRegistry();
    EXPECT_EQ(log.Text(),
              "Cleanin up registry:\n"
              "Error: Failed to open registry key: Installer\\Products\n"
              "  Deleting: Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\AerovinRC...\n"
              "    Deleting key: Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\AerovinRC\n"
              "  Deleting: Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\AerovinRC...\n"
              "    Deleting key: Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\AerovinRC\n");
}

class UninstallEntryTest : public UninstallRegistryTest {
protected:
    UninstallEntryTest() {
        state.installFolder = "D:\\Sim\\AerovinRC";
        state.appDataFolder = "C:\\Users\\u\\AppData\\Roaming/AerovinRC";
    }
    CPatchwellApp state;
};

TEST_F(UninstallEntryTest, ANewEntryIsCreatedWithItsFiveValues) {
    WriteUninstallEntry(state);
    std::string entry = std::string(kPlain) + "\\AerovinRC";
    EXPECT_EQ(log.Text(), "Creating registry keys...\nCreating: " + entry + "...\nDone\n");
    EXPECT_EQ(TextOf(plat::kHkeyLocalMachine, entry, "DisplayName"), "Aerovin R/C\xAE");
    EXPECT_EQ(TextOf(plat::kHkeyLocalMachine, entry, "Publisher"), "Quenlow Ltd");
    EXPECT_EQ(TextOf(plat::kHkeyLocalMachine, entry, "DisplayVersion"), "5.0.p");
    EXPECT_EQ(TextOf(plat::kHkeyLocalMachine, entry, "DisplayIcon"), "D:\\Sim\\AerovinRC/AerovinRC.exe");
    EXPECT_EQ(TextOf(plat::kHkeyLocalMachine, entry, "UninstallString"),
              "\"C:\\Users\\u\\AppData\\Roaming/AerovinRC/Uninstall.exe\" \"D:\\Sim\\AerovinRC\"");
    // Stored as Wine stores it: UTF-16 behind the ANSI call, escaped in the file.
    std::ifstream file(machine.PrefixFolder() + "/system.reg");
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("\"DisplayName\"=\"Aerovin R/C\\xae\"\n"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("\"UninstallString\"=\"\\\"C:\\\\Users\\\\u\\\\AppData\\\\Roaming/AerovinRC/"
                              "Uninstall.exe\\\" \\\"D:\\\\Sim\\\\AerovinRC\\\"\"\n"),
              std::string::npos);
}

TEST_F(UninstallEntryTest, AnExistingEntryIsReopenedAndKeepsItsOtherValues) {
    std::string entry = std::string(kPlain) + "\\AerovinRC";
    SetText(plat::kHkeyLocalMachine, entry, "InstallLocation", "D:\\Sim");
    SetText(plat::kHkeyLocalMachine, entry, "Publisher", "Someone else");
    WriteUninstallEntry(state);
    EXPECT_EQ(log.Text(), "Creating registry keys...\nDone\n");
    EXPECT_EQ(TextOf(plat::kHkeyLocalMachine, entry, "InstallLocation"), "D:\\Sim");
    EXPECT_EQ(TextOf(plat::kHkeyLocalMachine, entry, "Publisher"), "Quenlow Ltd");
}

TEST_F(UninstallEntryTest, FailuresAreLoggedAndDoneStillFollows) {
    std::string entry = std::string(kPlain) + "\\AerovinRC";
    plat::fault::Inject("RegSetValueExA", 5, "Publisher");
    plat::fault::Inject("RegSetValueExA", 5, "UninstallString");
    WriteUninstallEntry(state);
    EXPECT_EQ(log.Text(),
              "Creating registry keys...\nCreating: " + entry +
                  "...\nError: could not write value: Publisher\nError: could not write value: UninstallString\nDone\n");
    EXPECT_EQ(TextOf(plat::kHkeyLocalMachine, entry, "DisplayVersion"), "5.0.p");

    plat::fault::Clear();
    log.Clear();
    plat::RegDeleteKey(plat::kHkeyLocalMachine, entry);
    plat::fault::Inject("RegCreateKeyExA", 5);
    WriteUninstallEntry(state);
    EXPECT_EQ(log.Text(), "Creating registry keys...\nCreating: " + entry + "...\nError: could not create key\nDone\n");

    // Any other failure of the open: nothing created, nothing but "Done".
    plat::fault::Clear();
    log.Clear();
    plat::fault::Inject("RegOpenKeyExA", 5, "\\AerovinRC");
    WriteUninstallEntry(state);
    EXPECT_EQ(log.Text(), "Creating registry keys...\nDone\n");
    EXPECT_FALSE(KeyExists(plat::kHkeyLocalMachine, entry));
}

TEST_F(UninstallRegistry64Test, TheEntryGoesBelowWow6432NodeOnA64BitMachine) {
    CPatchwellApp state;
    state.installFolder = "C:\\Games\\AerovinRC";
    state.appDataFolder = "C:\\users\\u\\AppData\\Roaming/AerovinRC";
    MakeKey(plat::kHkeyLocalMachine, kWow);
    WriteUninstallEntry(state);
    EXPECT_EQ(log.Text(), std::string("Creating registry keys...\nCreating: ") + kWow + "\\AerovinRC...\nDone\n");
    std::ifstream file(machine.PrefixFolder() + "/system.reg");
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("\n[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\"
                              "AerovinRC] "),
              std::string::npos)
        << text.str();
    EXPECT_EQ(text.str().find("Wow6432Node\\\\Wow6432Node"), std::string::npos);
}

}  // namespace
