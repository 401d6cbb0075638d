// Every package is read, unpacked and checked whole before the installation
// may start: a damaged one leads to the failure page with nothing changed.
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "core/step_machine.h"
#include "package_fixture.h"
#include "packages/package_discovery.h"
#include "packages/package_reader.h"

namespace {

using pkgwriter::File;
using pkgwriter::Folder;

namespace fs = std::filesystem;

using PackageVerifyTest = PackageTest;

std::vector<pkgwriter::RootGroup> Groups(const std::string& tag) {
    return {{0, {Folder("Data" + tag, {File("a.txt", "alpha " + tag), File("b.bin", std::string(5000, 'b'))})}},
            {3, {File("c" + tag + ".cfg", "gamma")}}};
}

// A stream long enough for three chunks of 1000 bytes.
std::string ThreeChunkStream() {
    std::string text;
    for (int i = 0; text.size() < 2600; ++i) text += "line " + std::to_string(i) + "\n";
    return pkgwriter::BuildStream({{0, {File("long.txt", text)}}});
}

// Every file and folder under the prefix with its bytes.
std::map<std::string, std::string> Snapshot(const ScratchMachine& machine) {
    std::map<std::string, std::string> tree;
    for (const auto& item : fs::recursive_directory_iterator(machine.PrefixFolder())) {
        std::string bytes = "<folder>";
        if (item.is_regular_file()) {
            std::ifstream in(item.path(), std::ios::binary);
            std::ostringstream content;
            content << in.rdbuf();
            bytes = content.str();
        }
        tree[item.path().string()] = bytes;
    }
    return tree;
}

struct Fault {
    const char* label;
    std::string file;     // the damaged package
    const char* logged;   // in its "ERROR: Bad package: " line
};

std::vector<Fault> Faults() {
    std::string stream = ThreeChunkStream();
    auto chunked = [&](auto tweak) {
        pkgwriter::Options options = pkgwriter::SplitAt({1000, 2000});
        tweak(options);
        return pkgwriter::BuildPackageFile(stream, options);
    };
    std::string flipped = pkgwriter::BuildPackageFile(stream, pkgwriter::SplitAt({1000, 2000}));
    flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x10);
    return {
        {"truncated file", chunked([](pkgwriter::Options&) {}).substr(0, flipped.size() - 5),
         "chunk 2 / 3 runs past the end of the file at offset"},
        {"header text past the end", std::string("\x00\xFF\x00", 3), "chunk count runs past the end of the file"},
        {"one byte", std::string(1, '\x01'), "header text length runs past the end of the file at offset 1"},
        {"more chunks claimed", chunked([](pkgwriter::Options& o) { o.chunkCount = 4; }),
         "chunk 3 / 4 record runs past the end of the file"},
        {"sizes past 4 GB", chunked([](pkgwriter::Options& o) {
             for (std::size_t i = 0; i < 3; ++i) o.tweaks[i].uncompressedExtra = 0x60000000;
         }),
         "the total uncompressed size passes 4 GB"},
        {"bad zlib header", chunked([](pkgwriter::Options& o) { o.tweaks[1].corruption = pkgwriter::Corruption::kBadHeader; }),
         "chunk 1 / 3 is damaged or incomplete (zlib error -3) at offset"},
        {"bad checksum", chunked([](pkgwriter::Options& o) { o.tweaks[2].corruption = pkgwriter::Corruption::kBadChecksum; }),
         "chunk 2 / 3 is damaged or incomplete (zlib error -3)"},
        {"chunk cut short", chunked([](pkgwriter::Options& o) { o.tweaks[0].corruption = pkgwriter::Corruption::kCutShort; }),
         "chunk 0 / 3 is damaged or incomplete (zlib error -3) at offset 5\n"},
        {"understated size", chunked([](pkgwriter::Options& o) { o.tweaks[1].uncompressedExtra = -10; }),
         "chunk 1 / 3 holds more than its stated size (zlib error -5)"},
        {"flipped byte", flipped, "chunk 1 / 3 "},
        {"root index 9", pkgwriter::BuildPackage({{9, {File("a", "b")}}}), "its content is unsound: root folder index 9"},
        {"unsafe name", pkgwriter::BuildPackage({{0, {File("..\\evil.txt", "b")}}}), "its content is unsound: unsafe name"},
        {"text too long", pkgwriter::BuildPackage({{0, {File(std::string(1100, 'n'), "b")}}}), "name of 1100 bytes"},
        {"content past the end", [] {
             pkgwriter::Entry big = File("big", "abc");
             big.contentSize = 100000;
             return pkgwriter::BuildPackage({{0, {big}}});
         }(), "content runs past the end of the stream"},
        {"empty stream", pkgwriter::BuildPackageFile(""), "root group count runs past the end of the stream at offset 0"},
    };
}

TEST_F(PackageVerifyTest, ADamagedPackageAmongSoundOnesChangesNothingAndNamesItself) {
    PutPackage("a1.pkg", pkgwriter::BuildPackage(Groups("1")));
    PutPackage("c3.pkg", pkgwriter::BuildPackage(Groups("3")));
    PutPackage("d4.pkg", pkgwriter::BuildPackage(Groups("4")));
    const std::string bad = "C:\\scratch\\Update/b2.pkg";
    for (const Fault& fault : Faults()) {
        PutPackage("b2.pkg", fault.file);
        auto before = Snapshot(machine);
        log.Clear();
        state.currentStep = stepInstalling;
        state.failureReason.clear();
        RegisterPackages(state);
        EXPECT_EQ(Snapshot(machine), before) << fault.label;
        EXPECT_EQ(state.currentStep, stepFailed) << fault.label;
        EXPECT_FALSE(state.installRequested) << fault.label;
        EXPECT_TRUE(state.packages.empty()) << fault.label;
        EXPECT_EQ(state.failureReason.find("The update package " + bad + " cannot be installed: "), 0u)
            << fault.label << ": " << state.failureReason;
        EXPECT_NE(state.failureReason.find("Nothing was changed."), std::string::npos) << fault.label;
        EXPECT_TRUE(log.Contains("  " + bad + "...Failed\nERROR: Bad package: " + bad + ": ")) << fault.label;
        EXPECT_TRUE(log.Contains(fault.logged)) << fault.label << ":\n" << log.Text();
        // The sound ones were read as usual, and the run ends on one summary line.
        EXPECT_TRUE(log.Contains("  C:\\scratch\\Update/d4.pkg...Done\n")) << fault.label;
        EXPECT_TRUE(log.Contains("ERROR: 1 update(s) failed their check - nothing was changed\n")) << fault.label;
        EXPECT_FALSE(log.Contains("updates\n")) << fault.label;
    }

    // Repaired, the same folder installs as ever.
    PutPackage("b2.pkg", pkgwriter::BuildPackage(Groups("2")));
    log.Clear();
    state.currentStep = stepInstalling;
    RegisterPackages(state);
    EXPECT_TRUE(state.installRequested);
    ASSERT_EQ(state.packages.size(), 4u);
    EXPECT_TRUE(log.Contains("  " + bad + "...Done\n"));
    EXPECT_TRUE(log.Contains("4 updates\n"));
    while (!state.packages.empty()) {
        InstallPackage(state, state.packages.front().get());
        state.packages.pop_front();
    }
    for (const char* tag : {"1", "2", "3", "4"})
        EXPECT_EQ(machine.ReadFile(state.installFolder + "\\Data" + tag + "\\a.txt"), std::string("alpha ") + tag);
}

TEST_F(PackageVerifyTest, EveryDamagedPackageIsLoggedAndTheReasonCountsTheOthers) {
    PutPackage("a1.pkg", pkgwriter::BuildPackageFile("", pkgwriter::Options{}));
    PutPackage("b2.pkg", "");  // empty: left out as ever, not a damaged package
    PutPackage("c3.pkg", std::string(1, '\x01'));
    PutPackage("d4.pkg", pkgwriter::BuildPackage(Groups("4")));
    RegisterPackages(state);
    EXPECT_TRUE(log.Contains("  C:\\scratch\\Update/b2.pkg...Error: File has no size\n"));
    EXPECT_TRUE(log.Contains("ERROR: Bad package: C:\\scratch\\Update/a1.pkg: "));
    EXPECT_TRUE(log.Contains("ERROR: Bad package: C:\\scratch\\Update/c3.pkg: "));
    EXPECT_TRUE(log.Contains("ERROR: 2 update(s) failed their check - nothing was changed\n"));
    EXPECT_EQ(state.failureReason.find("The update package C:\\scratch\\Update/a1.pkg cannot"), 0u);
    EXPECT_NE(state.failureReason.find("1 more package(s) failed their check too"), std::string::npos);
    EXPECT_EQ(state.currentStep, stepFailed);
}

// The check shows itself on the installing page: the status line names the
// package and the bar runs to 100 over all of them.
TEST_F(PackageVerifyTest, TheCheckMovesTheBarAndNamesEachPackage) {
    afx::CProgressCtrl bar;
    afx::CStatic status;
    state.progressBar = &bar;
    state.statusText = &status;
    ui.watched = &bar;
    PutPackage("a1.pkg", pkgwriter::BuildPackageFile(ThreeChunkStream(), pkgwriter::SplitAt({1000, 2000})));
    PutPackage("b2.pkg", pkgwriter::BuildPackage(Groups("2")));
    RegisterPackages(state);
    EXPECT_EQ(ui.positions, (std::vector<int>{16, 33, 50, 100}));
    EXPECT_EQ(status.State().text, "Checking update: C:\\scratch\\Update/b2.pkg");
    EXPECT_TRUE(state.installRequested);
}

// A checked package is read and unpacked again as it is installed, with the
// log lines and bar of a package read whole.
TEST_F(PackageVerifyTest, ACheckedPackageIsInstalledWithTheLinesOfOneReadWhole) {
    std::string file = pkgwriter::BuildPackage(Groups("1"), pkgwriter::SplitAt({7, 40}));
    std::string path = PutPackage("a1.pkg", file);
    afx::CProgressCtrl bar;
    state.progressBar = &bar;
    ui.watched = &bar;
    Install(path);
    std::string fresh = log.Text();
    std::vector<int> freshBar = ui.positions;
    std::map<std::string, std::string> tree = Snapshot(machine);

    fs::remove_all(machine.HostPath(state.installFolder + "\\Data1"));
    RegisterPackages(state);
    ASSERT_EQ(state.packages.size(), 1u);
    log.Clear();
    ui.positions.clear();
    InstallPackage(state, state.packages.front().get());
    EXPECT_EQ(log.Text(), fresh);
    EXPECT_EQ(ui.positions, freshBar);
    EXPECT_EQ(Snapshot(machine), tree);
}

// Files larger than what is read of the package at a time, and more of them
// than wait for the writer at once, are written whole: the bytes of a file
// still being written are kept until it is written.
TEST_F(PackageVerifyTest, FilesSpanningManyReadsOfThePackageAreWrittenWhole) {
    std::vector<pkgwriter::Entry> files;
    std::mt19937 random(5);
    for (int i = 0; i < 9; ++i) {
        std::string bytes(3u << 20, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        files.push_back(File("big" + std::to_string(i) + ".bin", bytes));
    }
    pkgwriter::Options options;
    options.chunkSize = 1u << 20;
    options.level = 1;
    PutPackage("big.pkg", pkgwriter::BuildPackage({{0, files}}, options));
    RegisterPackages(state);
    ASSERT_EQ(state.packages.size(), 1u);
    InstallPackage(state, state.packages.front().get());
    EXPECT_TRUE(log.Contains("Success\n"));
    for (const pkgwriter::Entry& entry : files)
        EXPECT_TRUE(machine.ReadFile(state.installFolder + "\\" + entry.name) == entry.content) << entry.name;
}

// A package file that changed since its check is not installed: another
// length, or the same length with other bytes in a chunk.
TEST_F(PackageVerifyTest, APackageChangedAfterItsCheckIsNotInstalled) {
    PutPackage("a1.pkg", pkgwriter::BuildPackage(Groups("1")));
    PutPackage("b2.pkg", pkgwriter::BuildPackage(Groups("2")));
    RegisterPackages(state);
    ASSERT_EQ(state.packages.size(), 2u);
    PutPackage("b2.pkg", pkgwriter::BuildPackage({{0, {File("x", "changed")}}}));
    log.Clear();
    InstallPackage(state, state.packages.front().get());
    InstallPackage(state, state.packages.back().get());
    EXPECT_TRUE(log.Contains("Installing: C:\\scratch\\Update/b2.pkg...Error: File changed since it was checked\n"));
    EXPECT_FALSE(machine.Exists(state.installFolder + "\\x"));
    EXPECT_TRUE(machine.Exists(state.installFolder + "\\Data1\\a.txt"));

    std::string same = pkgwriter::BuildPackage(Groups("3"));
    PutPackage("c3.pkg", same);
    state.packages.clear();
    RegisterPackages(state);
    ASSERT_EQ(state.packages.size(), 3u);
    same[same.size() - 9] = static_cast<char>(same[same.size() - 9] ^ 0x01);
    PutPackage("c3.pkg", same);
    log.Clear();
    InstallPackage(state, state.packages.back().get());
    EXPECT_EQ(log.Text(), "Installing: C:\\scratch\\Update/c3.pkg...Error: File changed since it was checked\n");
    EXPECT_FALSE(machine.Exists(state.installFolder + "\\Data3"));
}

}  // namespace
