// patchwell-pack as its users run it: packages it makes pass its own verify
// and install byte for byte; what the format cannot hold is refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "core/installer_state.h"
#include "packages/package_install.h"
#include "packages/writer/package_writer.h"
#include "patchwell-pack/pack_command.h"
#include "support/fresh_installer_state.h"
#include "support/log_capture.h"
#include "support/scratch_machine.h"

namespace fs = std::filesystem;

namespace {

struct PackRun {
    int status = 0;
    std::string out;
    std::string err;
};

PackRun Pack(const std::vector<std::string>& args) {
    PackRun run;
    char* outText = nullptr;
    char* errText = nullptr;
    std::size_t outSize = 0, errSize = 0;
    std::FILE* out = open_memstream(&outText, &outSize);
    std::FILE* err = open_memstream(&errText, &errSize);
    run.status = pack::RunPackCommand(args, out, err);
    std::fclose(out);
    std::fclose(err);
    run.out.assign(outText, outSize);
    run.err.assign(errText, errSize);
    std::free(outText);
    std::free(errText);
    return run;
}

void WriteHostFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadHostFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class PatchwellPackTest : public ::testing::Test {
protected:
    FreshInstallerState fresh;  // first in, last out
    void SetUp() override {
        source = machine.HostPath(machine.Root()) + "/source";
        std::mt19937 random(7);
        std::string noise(3000, '\0');
        for (char& c : noise) c = static_cast<char>(random());
        WriteHostFile(source + "/AerovinRC.exe", "MZ simulator");
        WriteHostFile(source + "/resources/models/trainer.mdl", noise);
        WriteHostFile(source + "/resources/empty.dat", "");
        WriteHostFile(source + "/Manuals/Caf\xC3\xA9 \xC2\xAE.txt", "caf\xC3\xA9\n");  // names of code page 1252
        fs::create_directories(source + "/Flying sites/empty folder");
        theApp.installFolder = machine.Root() + "\\Install";
        for (std::string* folder : {&theApp.userDataFolder, &theApp.startMenuFolder, &theApp.appDataFolder,
                                    &theApp.builderFolder, &theApp.userBuilderFolder})
            *folder = machine.Root() + "\\Other";
        machine.MakeFolder(theApp.installFolder);
    }

    std::string PackagePath() const { return machine.HostPath(machine.Root()) + "/update1.pkg"; }

    // Every folder and file of the source, found again under the installation.
    void ExpectInstalledTree() {
        std::string installed = machine.HostPath(theApp.installFolder);
        std::size_t count = 0;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(source)) {
            fs::path twin = installed / fs::relative(entry.path(), source);
            ++count;
            if (entry.is_directory()) {
                EXPECT_TRUE(fs::is_directory(twin)) << twin;
            } else {
                EXPECT_EQ(ReadHostFile(twin), ReadHostFile(entry.path())) << twin;
            }
        }
        EXPECT_EQ(count, 9u);
    }

    ScratchMachine machine;
    LogCapture log;
    std::string source;
};

TEST_F(PatchwellPackTest, PackagesOfEveryChunkSizeVerifyAndInstallByteForByte) {
    for (const char* chunkSize : {"1", "7", "1048576"}) {
        SCOPED_TRACE(chunkSize);
        fs::remove_all(machine.HostPath(theApp.installFolder));
        machine.MakeFolder(theApp.installFolder);
        PackRun create = Pack({"create", PackagePath(), "--root", "0=" + source, "--chunk-size", chunkSize,
                           "--header", "Aerovin R/C\xC2\xAE 5.0"});
        ASSERT_EQ(create.status, 0) << create.err;
        EXPECT_NE(create.out.find("5 folders, 4 files"), std::string::npos) << create.out;

        PackRun verify = Pack({"verify", PackagePath()});
        EXPECT_EQ(verify.status, 0) << verify.err;
        EXPECT_EQ(verify.out.rfind(PackagePath() + ": sound: ", 0), 0u) << verify.out;

        Package package;
        package.path = machine.Root() + "\\update1.pkg";
        package.name = package.path;
        InstallPackage(theApp, &package);
        EXPECT_EQ(log.Text().find("ERROR"), std::string::npos) << log.Text();
        ExpectInstalledTree();
        log.Clear();
    }
}

TEST_F(PatchwellPackTest, ListShowsTheRootGroupsAndTheTreeWithSizes) {
    ASSERT_EQ(Pack({"create", PackagePath(), "--root", "0=" + source, "--root", "4=" + source + "/Manuals",
                    "--header", "Aerovin R/C\xC2\xAE"}).status, 0);
    PackRun list = Pack({"list", PackagePath()});
    ASSERT_EQ(list.status, 0) << list.err;
    for (const char* line : {"header: Aerovin R/C\xC2\xAE\n", "root 0 (installation folder): 4 entries, 3018 bytes\n",
                             "  AerovinRC.exe  12\n", "  Manuals\\  6\n", "    Caf\xC3\xA9 \xC2\xAE.txt  6\n",
                             "      trainer.mdl  3000\n", "    empty folder\\  0\n",
                             "root 4 (editor tool folder): 1 entry, 6 bytes\n"})
        EXPECT_NE(list.out.find(line), std::string::npos) << line << "\n" << list.out;
}

TEST_F(PatchwellPackTest, WhatTheFormatCannotHoldIsRefusedAndLeavesNoPackage) {
    WriteHostFile(machine.HostPath(machine.Root()) + "/colon/a:b.txt", "x");
    WriteHostFile(machine.HostPath(machine.Root()) + "/kanji/\xE6\x97\xA5.txt", "x");
    WriteHostFile(machine.HostPath(machine.Root()) + "/backslash/a\\b.txt", "x");
    WriteHostFile(machine.HostPath(machine.Root()) + "/large/big.bin", std::string(70000, 'x'));
    std::string scratch = machine.HostPath(machine.Root());
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {
        {{"create", PackagePath(), "--root", "6=" + source}, 2, "INDEX 0 to 5"},
        {{"create", PackagePath(), "--root", source}, 2, "INDEX=DIR"},
        {{"create", PackagePath()}, 2, "--root is required"},
        {{"create", PackagePath(), "--root", "0=" + source, "--level", "10"}, 2, "--level"},
        {{"create", PackagePath(), "--root", "0=" + source, "--chunk-size", "0"}, 2, "--chunk-size"},
        {{"frobnicate"}, 2, ""},
        {{"create", PackagePath(), "--root", "0=" + scratch + "/colon"}, 1, "cannot be a Windows file name"},
        {{"create", PackagePath(), "--root", "0=" + scratch + "/backslash"}, 1, "cannot be a Windows file name"},
        {{"create", PackagePath(), "--root", "0=" + scratch + "/kanji"}, 1, "outside code page 1252"},
        {{"create", PackagePath(), "--root", "0=" + scratch + "/missing"}, 1, "not a folder"},
        {{"create", PackagePath(), "--root", "0=" + scratch + "/large", "--chunk-size", "1"}, 1,
         "at most 65535 chunks: give --chunk-size 2 or more"},
        {{"create", PackagePath(), "--root", "0=" + source, "--header", std::string(1024, 'h')}, 1, "1023 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.size() > 3 ? c.args[3] : c.args[0]);
        PackRun run = Pack(c.args);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(PackagePath()));
    }
}

TEST_F(PatchwellPackTest, VerifyNamesTheFaultAndItsOffset) {
    using namespace pkgwriter;
    std::vector<RootGroup> sound{{0, {File("a.txt", "hello")}, {}}};
    Options corrupt;
    corrupt.tweaks[0].corruption = Corruption::kBadChecksum;
    Options overstated;
    overstated.tweaks[0].uncompressedExtra = 4;
    Options truncated;
    truncated.truncateTo = 12;
    struct Case {
        std::string file;
        const char* fault;
    } cases[] = {
        {BuildPackage(sound, corrupt), "chunk 0 / 1 at offset 5 is not a sound zlib stream (zlib error -3)"},
        {BuildPackage(sound, overstated), "chunk 0 / 1 at offset 5 unpacks to 27 bytes, not its stated 31"},
        {BuildPackage(sound, truncated), "chunk 0 / 1 record runs past the end of the file at offset 5"},
        {BuildPackage({{7, {File("a.txt", "x")}, {}}}), "package stream: root folder index 7 at offset 2"},
        {BuildPackage({{0, {File("..", "x")}, {}}}), "package stream: unsafe name \"..\" at offset 7"},
        {std::string(), "the file is empty (the installer skips it: \"Error: File has no size\")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        WriteHostFile(PackagePath(), c.file);
        PackRun run = Pack({"verify", PackagePath()});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, PackagePath() + ": " + c.fault + "\n");
    }
    WriteHostFile(PackagePath(), BuildPackage(sound));
    EXPECT_EQ(Pack({"verify", PackagePath()}).status, 0);
}

}  // namespace

namespace {

TEST_F(PatchwellPackTest, NamesWindowsCannotTakeAsTheyStandAreRefusedWithTheirFault) {
    std::string scratch = machine.HostPath(machine.Root());
    struct Case {
        const char* file;
        const char* fault;
    } cases[] = {
        {"/device/CON.txt", "(a device name)"},
        {"/device2/sub/lpt3", "(a device name)"},
        {"/dot/b.", "(a name ending in a dot)"},
        {"/space/b ", "(a name ending in a space)"},
        {"/feed/a\nb", "(a control character)"},
        {"/ask/a?b", "(the character ?)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string folder = std::string(c.file).substr(0, std::string(c.file).find('/', 1));
        WriteHostFile(scratch + c.file, "x");
        PackRun run = Pack({"create", PackagePath(), "--root", "0=" + scratch + folder});
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find("cannot be a Windows file name " + std::string(c.fault)), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(PackagePath()));
    }
}

}  // namespace
