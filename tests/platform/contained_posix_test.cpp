// Below a contained folder the POSIX backend resolves names from kept folder
// descriptors; the Windows answers must not change for it, with openat2 and
// with the per-name walk of kernels without it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/contained.h"
#include "platform/posix/machine.h"
#include "support/scratch_machine.h"

namespace {

namespace fs = std::filesystem;

class ContainedPosixTest : public ::testing::TestWithParam<bool> {
protected:
    ScratchMachine machine;
    CurrentDirRestorer restorer;
    std::string root = machine.Root();
    std::string host = machine.HostPath(root);

    void SetUp() override {
        plat::posix::UseComponentWalkOnly(GetParam());
        plat::SetContainedFolders({root});
    }
    void TearDown() override {
        plat::SetContainedFolders({});
        plat::posix::UseComponentWalkOnly(false);
    }

    bool Write(const std::string& path, const std::string& bytes, const char* mode = "wb") {
        plat::StreamHolder out(plat::OpenStream(path, mode));
        if (!out) return false;
        bool written = plat::WriteStream(out.Get(), bytes.data(), bytes.size()) == bytes.size();
        return out.Close() == 0 && written;
    }

    static void HostWrite(const std::string& hostPath, const std::string& bytes) {
        std::FILE* file = std::fopen(hostPath.c_str(), "wb");
        ASSERT_NE(file, nullptr) << hostPath;
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
};

TEST_P(ContainedPosixTest, NamesAreFoundWithoutRegardToCaseAndKeepTheirSpelling) {
    ASSERT_TRUE(plat::MakeFolder(root + "\\Data"));
    EXPECT_FALSE(plat::MakeFolder(root + "\\DATA"));
    EXPECT_EQ(plat::LastError(), 183u);
    ASSERT_TRUE(Write(root + "\\data\\Cfg.Ini", "one"));
    // Another process adds a name; our next write in other letters reuses it.
    HostWrite(host + "/Data/other.txt", "host");
    ASSERT_TRUE(Write(root + "\\DATA\\OTHER.TXT", "ours"));
    ASSERT_TRUE(Write(root + "\\data\\CFG.INI", "two"));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(host + "/Data")) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Cfg.Ini", "other.txt"}));
    EXPECT_EQ(machine.ReadFile(root + "\\Data\\Cfg.Ini"), "two");
    EXPECT_EQ(machine.ReadFile(root + "\\Data\\other.txt"), "ours");
    EXPECT_EQ(plat::MakeFolderTree(root + "\\data/new\\deeper"), 0);
    EXPECT_TRUE(fs::is_directory(host + "/Data/new/deeper"));
    EXPECT_EQ(plat::MakeFolderTree(root + "\\DATA\\NEW\\DEEPER"), 183);
}

// Clearing the marks of files this run has just made costs nothing, for the
// last few hundred of them; a mark set since, or a file another process put in
// its place, is cleared for real.
TEST_P(ContainedPosixTest, FilesJustMadeStayKnownPlainUntilSomethingChangesThem) {
    ASSERT_TRUE(plat::MakeFolder(root + "\\Data"));
    for (const char* name : {"a", "b", "c"}) ASSERT_TRUE(Write(root + "\\Data\\" + name, "ours"));
    ASSERT_TRUE(plat::SetAttributes(root + "\\Data\\a", plat::kAttrReadOnly));
    // Another process replaces b with a read-only file of its own.
    ASSERT_EQ(unlink((host + "/Data/b").c_str()), 0);
    HostWrite(host + "/Data/b", "theirs");
    ASSERT_EQ(chmod((host + "/Data/b").c_str(), 0444), 0);
    for (const char* name : {"a", "b", "c"}) {
        EXPECT_TRUE(plat::SetAttributes(root + "\\Data\\" + name, plat::kAttrNormal)) << name;
        EXPECT_EQ(plat::GetAttributes(root + "\\Data\\" + name), plat::kAttrArchive) << name;
    }
}

TEST_P(ContainedPosixTest, ErrorsAreTheWindowsOnes) {
    EXPECT_EQ(plat::OpenStream(root + "\\nope\\f.txt", "wb"), nullptr);
    EXPECT_EQ(plat::LastError(), 3u);
    EXPECT_FALSE(plat::RemoveFile(root + "\\missing.txt"));
    EXPECT_EQ(plat::LastError(), 2u);
    EXPECT_FALSE(plat::RemoveFile(root + "\\nope\\missing.txt"));
    EXPECT_EQ(plat::LastError(), 3u);
    EXPECT_FALSE(plat::SetAttributes(root + "\\missing.txt", plat::kAttrNormal));
    EXPECT_EQ(plat::LastError(), 2u);
    EXPECT_FALSE(plat::MakeFolder(root + "\\nope\\x"));
    EXPECT_EQ(plat::LastError(), 3u);
    ASSERT_TRUE(Write(root + "\\file.txt", "x"));
    EXPECT_EQ(plat::MakeFolderTree(root + "\\file.txt\\x"), 3);
    EXPECT_FALSE(plat::RemoveFolder(root + "\\file.txt"));
    EXPECT_EQ(plat::LastError(), 267u);
    EXPECT_EQ(plat::OpenStream(root, "wb"), nullptr);
    ASSERT_TRUE(plat::MakeFolder(root + "\\full"));
    ASSERT_TRUE(Write(root + "\\full\\f.txt", "x"));
    EXPECT_FALSE(plat::RemoveFolder(root + "\\full"));
    EXPECT_EQ(plat::LastError(), 145u);
    EXPECT_EQ(plat::OpenStream(root + "\\full", "wb"), nullptr);
    EXPECT_EQ(plat::LastError(), 5u);
    EXPECT_FALSE(plat::RemoveFile(root + "\\full"));
    EXPECT_EQ(plat::LastError(), 5u);
    EXPECT_FALSE(plat::CopyFileTo(root + "\\file.txt", root + "\\full\\f.txt", true));
    EXPECT_EQ(plat::LastError(), 80u);
    EXPECT_FALSE(plat::CopyFileTo(root + "\\file.txt", root + "\\FILE.TXT", false));
    EXPECT_EQ(plat::LastError(), 32u);
    ASSERT_EQ(plat::ChangeDir(root + "\\full"), 0);
    ASSERT_TRUE(plat::RemoveFile(root + "\\full\\f.txt"));
    EXPECT_FALSE(plat::RemoveFolder(root + "\\full"));
    EXPECT_EQ(plat::LastError(), 32u);
}

TEST_P(ContainedPosixTest, AttributesAreKeptAsWineKeepsThem) {
    ASSERT_TRUE(Write(root + "\\ro.txt", "x"));
    // Just made: clearing the marks is free and right.
    EXPECT_TRUE(plat::SetAttributes(root + "\\ro.txt", plat::kAttrNormal));
    EXPECT_EQ(plat::GetAttributes(root + "\\ro.txt"), 0x20u);
    ASSERT_TRUE(plat::SetAttributes(root + "\\ro.txt", plat::kAttrReadOnly | plat::kAttrHidden));
    EXPECT_EQ(plat::GetAttributes(root + "\\ro.txt"), 0x23u);
    EXPECT_FALSE(plat::RemoveFile(root + "\\ro.txt"));
    EXPECT_EQ(plat::LastError(), 5u);
    ASSERT_TRUE(plat::SetAttributes(root + "\\RO.TXT", plat::kAttrNormal));
    EXPECT_EQ(plat::GetAttributes(root + "\\ro.txt"), 0x20u);
    // A copy takes the source's marks; the file made before it is no longer "just made".
    ASSERT_TRUE(plat::SetAttributes(root + "\\ro.txt", plat::kAttrHidden));
    ASSERT_TRUE(plat::CopyFileTo(root + "\\ro.txt", root + "\\copy.txt", true));
    EXPECT_EQ(plat::GetAttributes(root + "\\copy.txt"), 0x22u);
    ASSERT_TRUE(plat::SetAttributes(root + "\\copy.txt", plat::kAttrNormal));
    EXPECT_EQ(plat::GetAttributes(root + "\\copy.txt"), 0x20u);
    // A file made read-only behind our back after we wrote it is cleared too.
    ASSERT_TRUE(Write(root + "\\later.txt", "x"));
    ASSERT_TRUE(plat::SetAttributes(root + "\\later.txt", plat::kAttrReadOnly));
    EXPECT_TRUE(plat::SetAttributes(root + "\\later.txt", plat::kAttrNormal));
    EXPECT_EQ(plat::GetAttributes(root + "\\later.txt"), 0x20u);
}

TEST_P(ContainedPosixTest, TextAndAppendStreamsWriteAsTheRuntimeDoes) {
    ASSERT_TRUE(Write(root + "\\t.txt", "a\nb", "w"));
    ASSERT_TRUE(Write(root + "\\t.txt", "\nc", "a"));
    EXPECT_EQ(machine.ReadFile(root + "\\t.txt"), "a\r\nb\r\nc");
    // A write larger than the buffer goes straight through, in order.
    std::string big(200000, 'z');
    big[0] = 'A';
    big[199999] = 'Z';
    plat::StreamHolder out(plat::OpenStream(root + "\\big.bin", "wb"));
    ASSERT_TRUE(out);
    EXPECT_EQ(plat::WriteStream(out.Get(), "head", 4), 4u);
    EXPECT_EQ(plat::WriteStream(out.Get(), big.data(), big.size()), big.size());
    EXPECT_EQ(plat::CommitStream(out.Get()), 0);
    EXPECT_EQ(plat::StreamLength(out.Get()), 200004);
    EXPECT_EQ(out.Close(), 0);
    EXPECT_EQ(machine.ReadFile(root + "\\big.bin"), "head" + big);
}

TEST_P(ContainedPosixTest, FoldersChangedBehindTheBackendAreResolvedAgain) {
    ASSERT_TRUE(plat::MakeFolder(root + "\\Keep"));
    ASSERT_TRUE(Write(root + "\\Keep\\a.txt", "1"));
    // Removed and made again by another process: the new folder is used.
    fs::remove_all(host + "/Keep");
    fs::create_directory(host + "/keep");
    ASSERT_TRUE(Write(root + "\\Keep\\b.txt", "2"));
    EXPECT_EQ(machine.ReadFile(root + "\\keep\\b.txt"), "2");
    // Renamed away: the old name is missing, not the moved folder.
    fs::rename(host + "/keep", host + "/gone");
    EXPECT_EQ(plat::OpenStream(root + "\\Keep\\c.txt", "wb"), nullptr);
    EXPECT_EQ(plat::LastError(), 3u);
    EXPECT_FALSE(fs::exists(host + "/gone/c.txt"));
    // Our own removal and renaming drop what was kept as well.
    ASSERT_TRUE(plat::MakeFolder(root + "\\Ours"));
    ASSERT_TRUE(Write(root + "\\Ours\\x.txt", "x"));
    ASSERT_TRUE(plat::MoveFileReplace(root + "\\Ours", root + "\\Moved"));
    EXPECT_EQ(plat::OpenStream(root + "\\Ours\\y.txt", "wb"), nullptr);
    ASSERT_TRUE(plat::RemoveFile(root + "\\Moved\\x.txt"));
    ASSERT_TRUE(plat::RemoveFolder(root + "\\Moved"));
    ASSERT_TRUE(plat::MakeFolder(root + "\\Moved"));
    ASSERT_TRUE(Write(root + "\\Moved\\z.txt", "z"));
    EXPECT_EQ(machine.ReadFile(root + "\\Moved\\z.txt"), "z");
}

// The installer deletes its own folders and makes them again (the user-data
// folder, the holding folder), and a test or another program may do so behind
// its back: the writes that follow land in the folder that stands there now.
TEST_P(ContainedPosixTest, AContainedFolderRemovedAndMadeAgainIsTheNewOne) {
    std::string data = root + "\\Data";
    plat::SetContainedFolders({data});
    ASSERT_TRUE(plat::MakeFolder(data));
    ASSERT_TRUE(Write(data + "\\first.txt", "1"));
    // Removed through the backend.
    ASSERT_TRUE(plat::RemoveFile(data + "\\first.txt"));
    ASSERT_TRUE(plat::RemoveFolder(data));
    ASSERT_TRUE(plat::MakeFolder(data));
    ASSERT_TRUE(Write(data + "\\second.txt", "2"));
    EXPECT_EQ(machine.ReadFile(data + "\\second.txt"), "2");
    // Removed behind the backend, while it holds the folder open.
    fs::remove_all(host + "/Data");
    fs::create_directory(host + "/Data");
    ASSERT_TRUE(Write(data + "\\third.txt", "3"));
    EXPECT_EQ(machine.ReadFile(data + "\\third.txt"), "3");
    EXPECT_EQ(plat::MakeFolderTree(data + "\\sub\\deeper"), 0);
    EXPECT_TRUE(fs::is_directory(host + "/Data/sub/deeper"));
}

TEST_P(ContainedPosixTest, AFolderLinkOnTheWayFailsEveryWritingCall) {
    fs::create_directories(host + "/target");
    fs::create_directory_symlink(host + "/target", host + "/Link");
    ASSERT_TRUE(plat::MakeFolder(root + "\\real"));
    std::string moved = root + "\\real\\m.txt";
    ASSERT_TRUE(Write(moved, "m"));
    EXPECT_FALSE(plat::MoveFileReplace(moved, root + "\\link\\m.txt"));
    EXPECT_EQ(plat::LastError(), plat::kErrorCantResolveFilename);
    EXPECT_FALSE(plat::MoveFileReplace(root + "\\LINK\\m.txt", moved));
    EXPECT_EQ(plat::LastError(), plat::kErrorCantResolveFilename);
    EXPECT_FALSE(plat::RemoveFolder(root + "\\Link\\sub"));
    EXPECT_EQ(plat::LastError(), plat::kErrorCantResolveFilename);
    EXPECT_TRUE(fs::is_empty(host + "/target"));
    // A link in the place of a file being replaced is replaced itself.
    ASSERT_TRUE(plat::MoveFileReplace(moved, root + "\\Link"));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(host + "/Link")));
    EXPECT_TRUE(fs::is_empty(host + "/target"));
}

TEST_P(ContainedPosixTest, PathsOutsideTheContainedFoldersFollowLinksAsBefore) {
    fs::create_directories(host + "/../outside-target");
    fs::create_directory_symlink(host + "/../outside-target", host + "/../outside");
    ASSERT_TRUE(Write("C:\\outside\\f.txt", "through"));
    EXPECT_EQ(machine.ReadFile("C:\\outside-target\\f.txt"), "through");
    plat::SetContainedFolders({});
    ASSERT_TRUE(Write(root + "\\free.txt", "x"));
}

INSTANTIATE_TEST_SUITE_P(Resolution, ContainedPosixTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("PerNameWalk") : std::string("Openat2");
                         });

// The workload the system-call budget script counts under strace: files
// written into one folder as package application writes them, a few opened
// before the first of them is written, closed and cleared.
TEST(ContainedSyscallWorkload, WritesFilesAsPackagesDo) {
    ScratchMachine machine;
    std::string root = machine.Root();
    plat::SetContainedFolders({root});
    const char* count = std::getenv("PW_WORKLOAD_FILES");
    int files = count ? std::atoi(count) : 20;
    ASSERT_TRUE(plat::MakeFolder(root + "\\Data"));
    std::string content(1500, 'c');
    constexpr int kOpenAtOnce = 16;
    // Marks in the trace between which the script counts.
    access("pw-workload-begin", F_OK);
    for (int first = 0; first < files; first += kOpenAtOnce) {
        std::vector<std::pair<std::string, plat::Stream*>> open;
        for (int i = first; i < files && i < first + kOpenAtOnce; ++i) {
            std::string path = root + "\\Data\\f" + std::to_string(i) + ".dat";
            plat::SetAttributes(path, plat::kAttrNormal);
            plat::Stream* stream = plat::OpenStream(path, "wb");
            ASSERT_TRUE(stream);
            open.emplace_back(path, stream);
        }
        for (const auto& [path, stream] : open) {
            EXPECT_EQ(plat::WriteStream(stream, content.data(), content.size()), content.size());
            EXPECT_EQ(plat::FlushStream(stream), 0);
            EXPECT_EQ(plat::CloseStream(stream), 0);
            EXPECT_TRUE(plat::SetAttributes(path, plat::kAttrNormal));
        }
    }
    access("pw-workload-end", F_OK);
    plat::SetContainedFolders({});
    EXPECT_EQ(machine.ReadFile(root + "\\Data\\f0.dat"), content);
}

}  // namespace
