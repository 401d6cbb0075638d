// Names Windows would not take as they stand are refused by the package check,
// and a group whose root folder cannot be used is skipped on its own.
#include "package_fixture.h"
#include "packages/package_stream.h"

namespace {

using pkgwriter::File;
using pkgwriter::Folder;

class PackageNamesTest : public PackageTest {
protected:
    // The one line the check leaves for a package holding a file of this name.
    std::string RefusalOf(const std::string& name, bool folder) {
        std::string bytes = pkgwriter::BuildPackage({{0, {folder ? Folder(name) : File(name, "x")}}});
        std::string path = PutPackage("names.pkg", bytes);
        log.Clear();
        Install(path);
        std::size_t at = log.Text().find("ERROR: Bad package: ");
        return at == std::string::npos ? std::string() : log.Text().substr(at);
    }
};

TEST_F(PackageNamesTest, NamesWindowsTakesForDevicesOrCannotHoldAreRefusedWithTheFaultAndOffset) {
    struct Case {
        std::string name;
        std::string logged;
        const char* fault;
    } cases[] = {
        {"CON", "CON", "a device name"},
        {"con.txt", "con.txt", "a device name"},
        {"Nul", "Nul", "a device name"},
        {"AUX.tar.gz", "AUX.tar.gz", "a device name"},
        {"prn", "prn", "a device name"},
        {"COM1", "COM1", "a device name"},
        {"com9.log", "com9.log", "a device name"},
        {"LPT1", "LPT1", "a device name"},
        {"Lpt9.txt", "Lpt9.txt", "a device name"},
        {"COM\xB9", "COM\xB9", "a device name"},
        {"CON .txt", "CON .txt", "a device name"},
        {"Data\\NUL", "Data\\NUL", "a device name"},
        {"b.", "b.", "a name ending in a dot"},
        {"Data\\b.\\c", "Data\\b.\\c", "a name ending in a dot"},
        {"b ", "b ", "a name ending in a space"},
        {" ", " ", "a name ending in a space"},
        {"a\tb", "a\\x09b", "a control character"},
        {"a\nDone", "a\\x0ADone", "a control character"},
        {"a\x7F", "a\\x7F", "a control character"},
        {"a<b", "a<b", "the character <"},
        {"a>b", "a>b", "the character >"},
        {"a\"b", "a\"b", "the character \""},
        {"a|b", "a|b", "the character |"},
        {"a?b", "a?b", "the character ?"},
        {"a*b", "a*b", "the character *"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EntryNameFault(c.name), c.fault) << c.logged;
        for (bool folder : {true, false}) {
            EXPECT_EQ(RefusalOf(c.name, folder),
                      "ERROR: Bad package: unsafe name \"" + c.logged + "\" (" + c.fault + ") at offset 7\n")
                << c.logged;
        }
    }
    EXPECT_FALSE(machine.Exists(root + "\\Game\\CON"));
}

TEST_F(PackageNamesTest, NamesThatOnlyResembleDevicesAreWritten) {
    std::vector<pkgwriter::Entry> entries;
    for (const char* name : {"COM0", "LPT10", "CONSOLE", "NULL.txt", "xCON", "con_fig", ".hidden", "a.b c"})
        entries.push_back(File(name, name));
    Install(PutPackage("near.pkg", pkgwriter::BuildPackage({{0, entries}})));
    EXPECT_TRUE(log.Contains("Success\n")) << log.Text();
    EXPECT_EQ(machine.ReadFile(root + "\\Game\\CONSOLE"), "CONSOLE");
    EXPECT_EQ(machine.ReadFile(root + "\\Game\\a.b c"), "a.b c");
}

TEST_F(PackageNamesTest, AGroupWhoseRootCannotBeUsedIsSkippedAndTheOthersApplied) {
    state.startMenuFolder.clear();
    state.builderFolder = "AerovinBuilder";  // an installation at a drive's root gives this
    Install(PutPackage("groups.pkg", pkgwriter::BuildPackage({
                                         {2, {Folder("Guides", {File("a.lnk", "x")})}},
                                         {0, {Folder("Data", {File("a.txt", "a")})}},
                                         {4, {File("AerovinBuilder.exe", "b")}},
                                         {3, {File("Uninstall.exe", "u")}},
                                     })));
    EXPECT_EQ(log.Text().substr(log.Text().find("successfully\n") + 13),
              "Error: the start menu folder is unknown; its entries are skipped\n"
              "Creating folder: C:\\scratch\\Game\\Data...Done\n"
              "Creating file: C:\\scratch\\Game\\Data\\a.txt (0 KB)...Done\n"
              "Error: the builder folder AerovinBuilder is refused (relative path); its entries are skipped\n"
              "Creating file: C:\\scratch\\Roaming/AerovinRC\\Uninstall.exe (0 KB)...Done\n"
              "Success\n");
    EXPECT_EQ(machine.ReadFile(root + "\\Roaming\\AerovinRC\\Uninstall.exe"), "u");
    EXPECT_FALSE(machine.Exists("C:\\Guides"));
}

TEST_F(PackageNamesTest, APackageNameWithControlCharactersIsEscapedInItsLine) {
    Install(PutPackage("a\nDone.pkg", pkgwriter::BuildPackage({{0, {File("x", "x")}}})));
    EXPECT_EQ(log.Text().find("Installing: C:\\scratch\\Update/a\\x0ADone.pkg...1 chunks\n"), 0u) << log.Text();
}

}  // namespace
