#include "packages/package_install.h"

#include "package_fixture.h"
#include "packages/package_reader.h"
#include "platform/platform.h"

namespace {

using pkgwriter::File;
using pkgwriter::Folder;

using PackageInstallTest = PackageTest;

TEST_F(PackageInstallTest, AFolderIsCreatedBeforeTheFileInsideIt) {
    std::string stream = pkgwriter::BuildStream({{0, {Folder("Data", {File("a.txt", "alpha")})}}});
    std::string path = PutPackage("a.pkg", pkgwriter::BuildPackageFile(stream));
    Install(path);
    EXPECT_EQ(log.Text(), "Installing: C:\\scratch\\Update/a.pkg..." + OneChunkLines(stream.size()) +
                              "Creating folder: C:\\scratch\\Game\\Data...Done\n"
                              "Creating file: C:\\scratch\\Game\\Data\\a.txt (0 KB)...Done\n"
                              "Success\n");
    EXPECT_EQ(machine.ReadFile(root + "\\Game\\Data\\a.txt"), "alpha");
}

TEST_F(PackageInstallTest, EachRootIndexSelectsItsFolder) {
    std::vector<pkgwriter::RootGroup> groups;
    for (std::uint16_t index = 0; index < 6; ++index)
        groups.push_back({index, {File("f" + std::to_string(index), "x")}});
    Install(PutPackage("a.pkg", pkgwriter::BuildPackage(groups)));
    std::vector<const std::string*> folders = RootFolders();
    for (std::size_t index = 0; index < 6; ++index) {
        std::string file = *folders[index] + "\\f" + std::to_string(index);
        EXPECT_TRUE(log.Contains("Creating file: " + file + " (0 KB)...Done\n")) << file;
        EXPECT_EQ(machine.ReadFile(file), "x");
    }
}

TEST_F(PackageInstallTest, ReapplyingLogsExistingFoldersAndRewritesFiles) {
    std::string stream = pkgwriter::BuildStream({{0, {Folder("D", {Folder("E", {File("f", "new")})})}}});
    std::string path = PutPackage("a.pkg", pkgwriter::BuildPackageFile(stream));
    Install(path);
    machine.WriteFile(root + "\\Game\\D\\E\\f", "changed by the user");
    log.Clear();
    Install(path);
    EXPECT_EQ(log.Text(), "Installing: C:\\scratch\\Update/a.pkg..." + OneChunkLines(stream.size()) +
                              "Creating folder: C:\\scratch\\Game\\D...Failed (183)\n"
                              "Creating folder: C:\\scratch\\Game\\D\\E...Failed (183)\n"
                              "Creating file: C:\\scratch\\Game\\D\\E\\f (0 KB)...Done\n"
                              "Success\n");
    EXPECT_EQ(machine.ReadFile(root + "\\Game\\D\\E\\f"), "new");
}

TEST_F(PackageInstallTest, AReadOnlyFileIsOverwrittenAndLeftNormal) {
    machine.WriteFile(root + "\\Game\\ro.txt", "old");
    ASSERT_TRUE(plat::SetAttributes(root + "\\Game\\ro.txt", plat::kAttrReadOnly | plat::kAttrHidden));
    Install(PutPackage("a.pkg", pkgwriter::BuildPackage({{0, {File("ro.txt", "new")}}})));
    EXPECT_TRUE(log.Contains("Creating file: C:\\scratch\\Game\\ro.txt (0 KB)...Done\n"));
    EXPECT_EQ(machine.ReadFile(root + "\\Game\\ro.txt"), "new");
    EXPECT_EQ(plat::GetAttributes(root + "\\Game\\ro.txt"), plat::kAttrArchive);
}

TEST_F(PackageInstallTest, SizesAreLoggedInThousandsOfBytes) {
    struct Case {
        std::size_t bytes;
        int kb;
    } cases[] = {{0, 0}, {999, 0}, {1000, 1}, {1999, 1}, {1024 * 1024, 1048}};
    std::vector<pkgwriter::Entry> files;
    for (const Case& c : cases) files.push_back(File(std::to_string(c.bytes), std::string(c.bytes, 'k')));
    Install(PutPackage("a.pkg", pkgwriter::BuildPackage({{0, files}})));
    for (const Case& c : cases) {
        std::string line = "Creating file: C:\\scratch\\Game\\" + std::to_string(c.bytes) + " (" +
                           std::to_string(c.kb) + " KB)...Done\n";
        EXPECT_TRUE(log.Contains(line)) << line;
        EXPECT_EQ(machine.ReadFile(root + "\\Game\\" + std::to_string(c.bytes)).size(), c.bytes);
    }
}

// Failures of single entries never stop the walk; the cursor stays in step.
TEST_F(PackageInstallTest, FailedEntriesAreLoggedAndTheWalkGoesOn) {
    std::string stream = pkgwriter::BuildStream(
        {{0,
          {File("file", "f", {Folder("under")}),  // children of a file go under the file's path
           Folder("Locked", {File("x", "x"), Folder("y")}),
           File("w", "w")}}});
    plat::fault::Inject("CreateDirectoryA", plat::kErrorAccessDenied, "Locked");
    Install(PutPackage("a.pkg", pkgwriter::BuildPackageFile(stream)));
    EXPECT_EQ(log.Text(), "Installing: C:\\scratch\\Update/a.pkg..." + OneChunkLines(stream.size()) +
                              "Creating file: C:\\scratch\\Game\\file (0 KB)...Done\n"
                              "Creating folder: C:\\scratch\\Game\\file\\under...Failed (3)\n"
                              "Creating folder: C:\\scratch\\Game\\Locked...Failed (5)\n"
                              "Creating file: C:\\scratch\\Game\\Locked\\x (0 KB)...Failed\n"
                              "Creating folder: C:\\scratch\\Game\\Locked\\y...Failed (5)\n"
                              "Creating file: C:\\scratch\\Game\\w (0 KB)...Done\n"
                              "Success\n");
    EXPECT_EQ(machine.ReadFile(root + "\\Game\\w"), "w");
}

// A write that does not reach the disk is a failure, not "Done".
TEST_F(PackageInstallTest, AFailedWriteFlushOrCloseLogsFailed) {
    for (const char* call : {"fwrite", "fflush", "fclose", "fopen"}) {
        plat::fault::Clear();
        plat::fault::Inject(call, plat::kErrorDiskFull, "big.dat");
        log.Clear();
        Install(PutPackage("a.pkg", pkgwriter::BuildPackage({{0, {File("big.dat", "data"), File("ok", "o")}}})));
        EXPECT_TRUE(log.Contains("Creating file: C:\\scratch\\Game\\big.dat (0 KB)...Failed\n"
                                 "Creating file: C:\\scratch\\Game\\ok (0 KB)...Done\nSuccess\n"))
            << call << "\n" << log.Text();
    }
}

// Files are written beside the walk: the lines still come in walk order, each
// with its own outcome, and a name given twice ends with its last content.
TEST_F(PackageInstallTest, ManyFilesAreLoggedInWalkOrderWithTheirOwnOutcomes) {
    std::vector<pkgwriter::Entry> files;
    std::string data = state.installFolder + "\\Data\\";
    ASSERT_TRUE(plat::MakeFolder(state.installFolder + "\\Data"));
    machine.WriteFile(data + "f150", "old");
    ASSERT_TRUE(plat::SetAttributes(data + "f150", plat::kAttrReadOnly | plat::kAttrHidden));
    std::string expected = "Creating folder: C:\\scratch\\Game\\Data...Failed (183)\n";
    for (int i = 0; i < 200; ++i) {
        std::string name = "f" + std::to_string(i);
        files.push_back(File(name, std::string(static_cast<std::size_t>(i) * 37, 'x')));
        expected += "Creating file: C:\\scratch\\Game\\Data\\" + name + " (" + std::to_string(i * 37 / 1000) +
                    " KB)..." + (i == 100 ? "Failed\n" : "Done\n");
    }
    files.push_back(File("twice.txt", std::string(100000, 'a')));
    files.push_back(File("TWICE.TXT", "b"));
    expected += "Creating file: C:\\scratch\\Game\\Data\\twice.txt (100 KB)...Done\n"
                "Creating file: C:\\scratch\\Game\\Data\\TWICE.TXT (0 KB)...Done\nSuccess\n";
    plat::fault::Inject("fwrite", plat::kErrorDiskFull, "\\f100");
    Install(PutPackage("a.pkg", pkgwriter::BuildPackage({{0, {Folder("Data", files)}}})));
    EXPECT_TRUE(log.Contains(expected)) << log.Text();
    EXPECT_EQ(machine.ReadFile(data + "f199"), std::string(199 * 37, 'x'));
    EXPECT_EQ(machine.ReadFile(data + "twice.txt"), "b");
    EXPECT_EQ(machine.ReadFile(data + "f150"), std::string(150 * 37, 'x'));
    EXPECT_EQ(plat::GetAttributes(data + "f150"), plat::kAttrArchive);
}

TEST_F(PackageInstallTest, StatusLineAndBarFollowEachPackage) {
    afx::CProgressCtrl bar;
    afx::CStatic status;
    state.progressBar = &bar;
    state.statusText = &status;
    ui.watched = &bar;
    std::vector<pkgwriter::Entry> files;
    for (int i = 0; i < 8; ++i) files.push_back(File("f" + std::to_string(i), ""));
    std::string path = PutPackage("a.pkg", pkgwriter::BuildPackage({{0, files}}, pkgwriter::SplitAt({3, 6})));
    Install(path);
    EXPECT_EQ(status.State().text, "Applying update: C:\\scratch\\Update/a.pkg");
    EXPECT_EQ(status.State().repaints, 1);
    EXPECT_EQ(ui.positions, (std::vector<int>{0, 16, 33, 50, 50, 50, 51, 51, 51, 51, 52}));
    EXPECT_EQ(state.progressCount, 8u);
    ui.positions.clear();
    Install(path);  // the next package starts again from 0 and 50
    EXPECT_EQ(ui.positions, (std::vector<int>{0, 16, 33, 50, 50, 50, 51, 51, 51, 51, 52}));
    struct Case {
        unsigned count;
        int position;
    } cases[] = {{1, 50}, {3, 50}, {4, 51}, {199, 99}, {200, 100}, {1000, 300}};
    for (const Case& c : cases) EXPECT_EQ(EntryProgressPosition(c.count), c.position) << c.count;
}

TEST_F(PackageInstallTest, AMissingOrUnreadablePackageIsOneLine) {
    InstallPackage(state, nullptr);
    EXPECT_EQ(log.Text(), "");
    Install(state.installerFolder + "/gone.pkg");
    Install(PutPackage("empty.pkg", ""));
    EXPECT_EQ(log.Text(),
              "Installing: C:\\scratch\\Update/gone.pkg...Error: File not opened\n"
              "Installing: C:\\scratch\\Update/empty.pkg...Error: File has no size\n");
}

// Memory short for the file, then for its stream: one line each, nothing written.
TEST_F(PackageInstallTest, MemoryShortForTheFileOrTheStreamIsOneLine) {
    std::vector<pkgwriter::RootGroup> groups = {{0, {File("a.txt", "alpha")}}};
    std::string path = PutPackage("a.pkg", pkgwriter::BuildPackage(groups));
    std::string unpacking =
        "1 chunks\nTotal uncompressed size: " + std::to_string(pkgwriter::BuildStream(groups).size()) + "\n";
    for (int skip : {0, 1}) {
        log.Clear();
        plat::fault::Clear();
        plat::fault::Inject({"malloc", "", plat::kErrorNotEnoughMemory, skip, 1});
        Install(path);
        EXPECT_EQ(log.Text(), "Installing: " + path + "..." + (skip ? unpacking : "") +
                                  "ERROR: Could not allocate data\n")
            << skip;
        EXPECT_FALSE(machine.Exists(state.installFolder + "\\a.txt")) << skip;
    }
}

}  // namespace
