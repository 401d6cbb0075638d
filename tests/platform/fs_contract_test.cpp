// What both backends must answer alike: the Win32 calls under Wine, and the
// POSIX stand-in on a Wine prefix.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/scratch_machine.h"

namespace {

class ContractTest : public ::testing::Test {
protected:
    ScratchMachine machine;
    CurrentDirRestorer restorer;
    std::string root = machine.Root();

    std::vector<plat::FindData> List(const std::string& pattern) {
        std::vector<plat::FindData> entries;
        plat::FindData data;
        intptr_t handle = plat::FindFirst(pattern, &data);
        if (handle == -1) return entries;
        do entries.push_back(data);
        while (plat::FindNext(handle, &data) == 0);
        plat::FindClose(handle);
        return entries;
    }
};

TEST_F(ContractTest, FolderCreationReportsWindowsCodes) {
    EXPECT_TRUE(plat::MakeFolder(root + "\\new"));
    EXPECT_FALSE(plat::MakeFolder(root + "\\new"));
    EXPECT_EQ(plat::LastError(), 183u);
    EXPECT_FALSE(plat::MakeFolder(root + "\\nope\\x"));
    EXPECT_EQ(plat::LastError(), 3u);

    EXPECT_EQ(plat::MakeFolderTree(root + "\\tree\\a\\b"), 0);
    EXPECT_EQ(plat::MakeFolderTree(root + "\\tree\\a\\b"), 183);
    // Every missing level is made, whichever separator joins it.
    EXPECT_EQ(plat::MakeFolderTree(root + "\\mix/a\\b/c"), 0);
    EXPECT_EQ(plat::PathExists(root + "\\mix\\a\\b\\c"), 1);
    machine.WriteFile(root + "\\file.txt", "x");
    EXPECT_EQ(plat::MakeFolderTree(root + "\\file.txt\\x"), 3);
    EXPECT_EQ(plat::MakeFolderTree("relative\\x"), 161);
}

TEST_F(ContractTest, CopyHonoursFailIfExists) {
    machine.WriteFile(root + "\\a.txt", "first");
    machine.WriteFile(root + "\\b.txt", "second");
    EXPECT_FALSE(plat::CopyFileTo(root + "\\a.txt", root + "\\b.txt", true));
    EXPECT_EQ(plat::LastError(), 80u);
    EXPECT_EQ(machine.ReadFile(root + "\\b.txt"), "second");
    EXPECT_TRUE(plat::CopyFileTo(root + "\\a.txt", root + "\\b.txt", false));
    EXPECT_EQ(machine.ReadFile(root + "\\b.txt"), "first");
    EXPECT_FALSE(plat::CopyFileTo(root + "\\missing.txt", root + "\\c.txt", false));
    EXPECT_EQ(plat::LastError(), 2u);
    EXPECT_FALSE(plat::CopyFileTo(root + "\\a.txt", root + "\\nope\\c.txt", false));
    EXPECT_EQ(plat::LastError(), 3u);
}

TEST_F(ContractTest, DeletionReportsWindowsCodes) {
    EXPECT_FALSE(plat::RemoveFile(root + "\\missing.txt"));
    EXPECT_EQ(plat::LastError(), 2u);
    EXPECT_FALSE(plat::RemoveFile(root + "\\nope\\missing.txt"));
    EXPECT_EQ(plat::LastError(), 3u);

    machine.WriteFile(root + "\\full\\f.txt", "x");
    EXPECT_FALSE(plat::RemoveFolder(root + "\\full"));
    EXPECT_EQ(plat::LastError(), 145u);

    machine.WriteFile(root + "\\ro.txt", "x");
    ASSERT_TRUE(plat::SetAttributes(root + "\\ro.txt", plat::kAttrReadOnly));
    EXPECT_EQ(plat::GetAttributes(root + "\\ro.txt"), 0x21u);
    EXPECT_FALSE(plat::RemoveFile(root + "\\ro.txt"));
    EXPECT_EQ(plat::LastError(), 5u);
    ASSERT_TRUE(plat::SetAttributes(root + "\\ro.txt", plat::kAttrNormal));
    EXPECT_TRUE(plat::RemoveFile(root + "\\ro.txt"));
}

TEST_F(ContractTest, TheCurrentDirectoryCannotBeRemoved) {
    machine.MakeFolder(root + "\\here");
    ASSERT_EQ(plat::ChangeDir(root + "\\here"), 0);
    EXPECT_FALSE(plat::RemoveFolder(root + "\\here"));
    EXPECT_EQ(plat::LastError(), 32u);
    ASSERT_EQ(plat::ChangeDir(root), 0);
    EXPECT_TRUE(plat::RemoveFolder(root + "\\here"));
    EXPECT_NE(plat::ChangeDir(root + "\\missing"), 0);
}

TEST_F(ContractTest, HiddenAndSystemMarksReadBackWithArchive) {
    machine.WriteFile(root + "\\h.txt", "x");
    ASSERT_TRUE(plat::SetAttributes(root + "\\h.txt", plat::kAttrHidden));
    EXPECT_EQ(plat::GetAttributes(root + "\\h.txt") & 0x07u, 0x02u);
    ASSERT_TRUE(plat::SetAttributes(root + "\\h.txt", plat::kAttrNormal));
    EXPECT_EQ(plat::GetAttributes(root + "\\h.txt") & 0x07u, 0u);
    machine.MakeFolder(root + "\\d");
    EXPECT_EQ(plat::GetAttributes(root + "\\d") & 0x10u, 0x10u);
}

TEST_F(ContractTest, EnumerationGivesDotsFirstThenSortedNames) {
    for (const char* name : {"b.txt", "A.txt", "c.TXT", "a10", "a9"}) machine.WriteFile(root + "\\order\\" + name, "x");
    machine.MakeFolder(root + "\\order\\Sub");
    auto entries = List(root + "\\order/*.*");
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    std::vector<std::string> expected = {".", "..", "A.txt", "a10", "a9", "b.txt", "c.TXT", "Sub"};
    EXPECT_EQ(names, expected);
    ASSERT_EQ(entries.size(), expected.size());
    EXPECT_EQ(entries[0].attrib, 0x10u);
    EXPECT_EQ(entries[2].attrib, 0x20u);
    EXPECT_EQ(entries[7].attrib, 0x10u);
    EXPECT_TRUE(List(root + "\\missing/*.*").empty());
}

TEST_F(ContractTest, PatternSelectsByExtensionWithoutRegardToCase) {
    for (const char* name : {"a.pkg", "Y.PKG", "noext", "b.txt"}) machine.WriteFile(root + "\\p\\" + name, "x");
    std::vector<std::string> names;
    for (const auto& e : List(root + "\\p/*.pkg")) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"a.pkg", "Y.PKG"}));
}

TEST_F(ContractTest, TextModeWritesCrLfAndReadsItBack) {
    std::string path = root + "\\text.txt";
    plat::StreamHolder out(plat::OpenStream(path, "w"));
    ASSERT_TRUE(out);
    std::string text = "a\nb\r\nc";
    EXPECT_EQ(plat::WriteStream(out.Get(), text.data(), text.size()), text.size());
    EXPECT_EQ(out.Close(), 0);
    EXPECT_EQ(machine.ReadFile(path), "a\r\nb\r\r\nc");

    plat::StreamHolder in(plat::OpenStream(path, "r"));
    ASSERT_TRUE(in);
    char buffer[32] = {};
    std::size_t n = plat::ReadStream(in.Get(), buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, n), "a\nb\r\nc");

    machine.WriteFile(path, "5.0.p\r\n9");
    plat::StreamHolder line(plat::OpenStream(path, "r"));
    char first[31];
    ASSERT_TRUE(plat::GetLine(line.Get(), first, sizeof first));
    EXPECT_STREQ(first, "5.0.p\n");
}

TEST_F(ContractTest, TextModeStopsAtCtrlZAndBinaryDoesNot) {
    std::string path = root + "\\z.txt";
    machine.WriteFile(path, std::string("ab\x1a" "cd\n"));
    char buffer[16];
    plat::StreamHolder text(plat::OpenStream(path, "r"));
    EXPECT_EQ(plat::ReadStream(text.Get(), buffer, sizeof buffer), 2u);
    plat::StreamHolder binary(plat::OpenStream(path, "rb"));
    EXPECT_EQ(plat::StreamLength(binary.Get()), 6);
    EXPECT_EQ(plat::ReadStream(binary.Get(), buffer, sizeof buffer), 6u);
}

TEST_F(ContractTest, SeekingABinaryStreamReadsOnFromThere) {
    std::string path = root + "\\seek.bin";
    machine.WriteFile(path, "abcdef");
    plat::StreamHolder in(plat::OpenStream(path, "rb"));
    char buffer[16];
    EXPECT_EQ(plat::SeekStream(in.Get(), 3), 0);
    EXPECT_EQ(std::string(buffer, plat::ReadStream(in.Get(), buffer, sizeof buffer)), "def");
    EXPECT_EQ(plat::SeekStream(in.Get(), 1), 0);
    EXPECT_EQ(std::string(buffer, plat::ReadStream(in.Get(), buffer, 2)), "bc");
    EXPECT_EQ(plat::SeekStream(in.Get(), 10), 0);  // past the end: nothing to read there
    EXPECT_EQ(plat::ReadStream(in.Get(), buffer, sizeof buffer), 0u);
    EXPECT_EQ(plat::SeekStream(in.Get(), -1), -1);
}

TEST_F(ContractTest, OpeningReportsMissingFileAndFolder) {
    EXPECT_EQ(plat::OpenStream(root + "\\missing.txt", "rb"), nullptr);
    EXPECT_EQ(plat::LastError(), 2u);
    EXPECT_EQ(plat::OpenStream(root + "\\nope\\new.txt", "w"), nullptr);
    EXPECT_EQ(plat::LastError(), 3u);
    plat::StreamHolder append(plat::OpenStream(root + "\\new.txt", "a"));
    EXPECT_TRUE(append);
}

TEST_F(ContractTest, PathExistsAcceptsEitherSeparator) {
    machine.WriteFile(root + "\\sub\\f.exe", "x");
    EXPECT_EQ(plat::PathExists(root + "\\sub\\f.exe"), 1);
    EXPECT_EQ(plat::PathExists(root + "/sub/f.exe"), 1);
    EXPECT_EQ(plat::PathExists(root + "\\\\sub\\f.exe"), 1);
    EXPECT_EQ(plat::PathExists(root + "\\sub\\f.exe\\"), 0);
    EXPECT_EQ(plat::PathExists(root + "\\sub\\missing.exe"), 0);
}

TEST_F(ContractTest, DriveStringsEndWithTwoNuls) {
    char buffer[260] = {};
    plat::DWORD length = plat::LogicalDriveStrings(sizeof buffer, buffer);
    ASSERT_GE(length, 4u);
    EXPECT_EQ(std::string(buffer, 3), "C:\\");
    EXPECT_EQ(buffer[length], '\0');
    EXPECT_EQ(buffer[length - 1], '\0');
    EXPECT_EQ(plat::LogicalDriveStrings(3, buffer), length + 1);
}

}  // namespace
