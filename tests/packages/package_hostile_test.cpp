// Bad packages are skipped whole with one "ERROR: " line: nothing is written,
// nothing outside the six root folders is touched, and the next package is
// applied as usual.
#include <filesystem>
#include <set>

#include "package_fixture.h"
#include "packages/package_format.h"

namespace {

namespace fs = std::filesystem;
using pkgwriter::Entry;
using pkgwriter::File;
using pkgwriter::Folder;

class PackageHostileTest : public PackageTest {
protected:
    // Every path on the scratch machine's C: drive.
    std::set<std::string> DriveContents() const {
        std::set<std::string> paths;
        fs::path drive = fs::canonical(machine.HostPath("C:\\"));
        for (const auto& item : fs::recursive_directory_iterator(drive)) paths.insert(item.path().string());
        return paths;
    }

    // Installs the bad package, then a good one: the bad one must log exactly
    // its unpacking lines and one error, and write nothing.
    void ExpectSkipped(const std::string& label, const std::string& bytes, const std::string& expected) {
        std::string bad = PutPackage("bad.pkg", bytes);
        std::string good = PutPackage("good.pkg", pkgwriter::BuildPackage({{0, {File("ok", "fine")}}}));
        std::set<std::string> before = DriveContents();
        log.Clear();
        Install(bad);
        EXPECT_EQ(log.Text(), "Installing: C:\\scratch\\Update/bad.pkg..." + expected) << label;
        EXPECT_EQ(DriveContents(), before) << label;
        log.Clear();
        Install(good);
        EXPECT_TRUE(log.Contains("Creating file: C:\\scratch\\Game\\ok (0 KB)...Done\nSuccess\n")) << label;
        machine.WriteFile(root + "\\Update\\bad.pkg", "");
        plat::SetAttributes(root + "\\Game\\ok", plat::kAttrNormal);
        std::filesystem::remove(machine.HostPath(root + "\\Game\\ok"));
    }

    void ExpectBadStream(const std::string& label, const std::string& stream, const std::string& fault) {
        ExpectSkipped(label, pkgwriter::BuildPackageFile(stream),
                      OneChunkLines(stream.size()) + "ERROR: Bad package: " + fault + "\n");
    }
};

Entry WithChildCount(Entry entry, std::uint16_t count) {
    entry.childCount = count;
    return entry;
}

TEST_F(PackageHostileTest, StreamsThatRunPastTheirEndOrOutOfTheRootTable) {
    Entry oversized = File("evil", "x");
    oversized.contentSize = 1000000;
    Entry nested = Folder("d");
    for (int depth = 1; depth < 300; ++depth) nested = Folder("d", {nested});
    struct Case {
        const char* label;
        std::string stream;
        std::string fault;
    } cases[] = {
        {"root index 9", pkgwriter::BuildStream({{9, {File("evil", "x")}}}), "root folder index 9 at offset 2"},
        {"entry count", pkgwriter::BuildStream({{0, {File("evil", "x")}, 3}}),
         "entry kind runs past the end of the stream at offset 22"},
        {"child count", pkgwriter::BuildStream({{0, {WithChildCount(Folder("evil"), 2)}}}),
         "entry kind runs past the end of the stream at offset 15"},
        {"content size", pkgwriter::BuildStream({{0, {oversized}}}),
         "content runs past the end of the stream at offset 19"},
        {"long name", pkgwriter::BuildStream({{0, {File(std::string(2000, 'n'), "x")}}}),
         "name of 2000 bytes at offset 7"},
        {"cut text", pkgwriter::BuildStream({{0, {Folder("evil")}}}).substr(0, 10),
         "name runs past the end of the stream at offset 9"},
        {"group count", pkgwriter::BuildStream({{0, {}}}).substr(0, 1),
         "root group count runs past the end of the stream at offset 0"},
        {"too deep", pkgwriter::BuildStream({{0, {nested}}}),
         "entries nested deeper than 256 at offset " + std::to_string(6 + 256 * 6)},
        {"fault after sound entries",
         pkgwriter::BuildStream({{0, {Folder("fine", {File("fine.txt", "x")})}}, {7, {}}}),
         "root folder index 7 at offset 35"},
    };
    for (const Case& c : cases) ExpectBadStream(c.label, c.stream, c.fault);
}

TEST_F(PackageHostileTest, NamesThatWouldLeaveTheirFolderAreRefused) {
    struct Case {
        std::string name;
        std::string logged;
    } cases[] = {
        {"", ""},
        {".", "."},
        {"..", ".."},
        {"..\\evil", "..\\evil"},
        {"a\\..\\..\\evil", "a\\..\\..\\evil"},
        {"a/../evil", "a/../evil"},
        {"evil\\..", "evil\\.."},
        {"... ", "... "},
        {"\\evil", "\\evil"},
        {"/evil", "/evil"},
        {"C:evil", "C:evil"},
        {"C:\\evil", "C:\\evil"},
        {std::string("\0evil", 5), ""},
        {"x\r\n:y", "x\\x0D\\x0A:y"},  // control characters must not break the log line
    };
    for (const Case& c : cases) {
        for (bool folder : {true, false}) {
            Entry entry = folder ? Folder(c.name) : File(c.name, "x");
            ExpectBadStream(c.name, pkgwriter::BuildStream({{1, {entry}}}),
                            "unsafe name \"" + c.logged + "\" at offset 7");
        }
    }
    // Inner separators stay allowed.
    Install(PutPackage("inner.pkg", pkgwriter::BuildPackage({{0, {Folder("a"), File("a\\b.txt", "x"),
                                                                  File("a/c..d", "y"), File(".hidden", "z")}}})));
    EXPECT_EQ(machine.ReadFile(root + "\\Game\\a\\b.txt"), "x");
    EXPECT_EQ(machine.ReadFile(root + "\\Game\\a\\c..d"), "y");
    EXPECT_EQ(machine.ReadFile(root + "\\Game\\.hidden"), "z");
}

TEST_F(PackageHostileTest, ARootFolderThatIsNotSetIsSkippedWithOneLine) {
    state.builderFolder.clear();  // would put the entries at the drive's root
    Install(PutPackage("unset.pkg", pkgwriter::BuildPackage({{4, {File("evil", "x")}}, {0, {File("good", "y")}}})));
    EXPECT_TRUE(log.Contains("Error: the builder folder is unknown; its entries are skipped\n"));
    EXPECT_FALSE(log.Contains("evil"));
    EXPECT_FALSE(machine.Exists("C:\\evil"));
    EXPECT_EQ(machine.ReadFile(root + "\\Game\\good"), "y");
}

TEST_F(PackageHostileTest, AnEmptyStreamIsRefusedAfterItsUnpackingLines) {
    pkgwriter::Options options;
    options.chunkCount = 0;
    ExpectSkipped("no chunks", pkgwriter::BuildPackageFile("", options),
                  "0 chunks\nTotal uncompressed size: 0\nMemory allocated\nChunks uncompressed successfully\n"
                  "ERROR: Bad package: root group count runs past the end of the stream at offset 0\n");
}

// A file whose layout is unsound is refused before anything is decompressed.
TEST_F(PackageHostileTest, FilesThatRunPastTheirEnd) {
    std::string stream = pkgwriter::BuildStream({{0, {File("evil", std::string(5000, 'e'))}}});
    std::string whole = pkgwriter::BuildPackageFile(stream, pkgwriter::SplitAt({100}));
    std::size_t firstCompressed = pkgformat::GetU32(reinterpret_cast<const std::uint8_t*>(whole.data()) + 5);
    std::size_t secondRecord = 5 + 8 + firstCompressed;
    auto with = [&](auto change) {
        pkgwriter::Options options = pkgwriter::SplitAt({100});
        change(options);
        return pkgwriter::BuildPackageFile(stream, options);
    };
    struct Case {
        const char* label;
        std::string bytes;
        std::string fault;
    } cases[] = {
        {"two bytes", whole.substr(0, 2), "header text length runs past the end of the file at offset 1"},
        {"header text", with([](pkgwriter::Options& o) { o.headerText.assign(100, 'h'); o.truncateTo = 50; }),
         "chunk count runs past the end of the file at offset 103"},
        {"truncated record", whole.substr(0, 10), "chunk 0 / 2 record runs past the end of the file at offset 5"},
        {"truncated chunk", whole.substr(0, whole.size() - 1),
         "chunk 1 / 2 runs past the end of the file at offset " + std::to_string(secondRecord)},
        {"chunk count", with([](pkgwriter::Options& o) { o.chunkCount = 3; }),
         "chunk 2 / 3 record runs past the end of the file at offset " + std::to_string(whole.size())},
        {"overstated compressed size", with([](pkgwriter::Options& o) { o.tweaks[0].compressedExtra = 1 << 20; }),
         "chunk 0 / 2 runs past the end of the file at offset 5"},
        {"total wraps", with([&](pkgwriter::Options& o) {
             o.tweaks[1].uncompressedExtra = 0xFFFFFFF0ll - static_cast<long long>(stream.size() - 100);
         }),
         "chunk 1 / 2: the total uncompressed size passes 4 GB at offset " + std::to_string(secondRecord + 4)},
    };
    for (const Case& c : cases) ExpectSkipped(c.label, c.bytes, "ERROR: Bad package file: " + c.fault + "\n");
}

}  // namespace
