// Links below the folders the program owns: never written, copied or deleted
// through, on both backends. The links are made on the host side (natively,
// or by the test command around Wine's prefix, which names them in
// PW_LINK_FIXTURE), since Wine cannot make them itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/file_ops.h"
#include "platform/platform.h"
#include "support/log_capture.h"
#include "support/scratch_machine.h"

namespace {

// Sets the contained folders for one test and clears them when it ends.
class ContainedScope {
public:
    explicit ContainedScope(const std::vector<std::string>& folders) { plat::SetContainedFolders(folders); }
    ~ContainedScope() { plat::SetContainedFolders({}); }
    ContainedScope(const ContainedScope&) = delete;
    ContainedScope& operator=(const ContainedScope&) = delete;
};

// The layout the tests need, under root:
//   elsewhere\precious.txt              what no link may let us touch
//   write\link -> elsewhere             written through
//   deltree\sub\plain.txt, deltree\sub\link -> elsewhere
//   delink\link -> elsewhere            deleted as the tree itself
//   rootreal\, docs -> rootreal         a contained folder that is a link
//   filelink\out.txt -> elsewhere\precious.txt
class LinkContractTest : public ::testing::Test {
protected:
    ScratchMachine machine;
    CurrentDirRestorer restorer;
    LogCapture log;
    std::string root = machine.Root();
    bool hostMadeLinks = false;  // Wine's prefix: links it cannot remove
    ScopedOwnedFolder fixtureOwned;  // the host-made links' folder, owned as the scratch root is

    void SetUp() override {
        machine.WriteFile(root + "\\elsewhere\\precious.txt", "keep");
        machine.WriteFile(root + "\\deltree\\sub\\plain.txt", "x");
        for (const char* folder : {"\\write", "\\delink", "\\rootreal", "\\filelink"}) machine.MakeFolder(root + folder);
        std::error_code error;
        namespace fs = std::filesystem;
        std::string elsewhere = machine.HostPath(root + "\\elsewhere");
        fs::create_directory_symlink(elsewhere, machine.HostPath(root + "\\write") + "/link", error);
        if (error) {
            const char* fixture = std::getenv("PW_LINK_FIXTURE");
            if (!fixture) GTEST_SKIP() << "this system cannot make links: " << error.message();
            root = fixture;
            fixtureOwned.Own(root);
            hostMadeLinks = true;
            return;
        }
        fs::create_directory_symlink(elsewhere, machine.HostPath(root + "\\deltree\\sub") + "/link", error);
        fs::create_directory_symlink(elsewhere, machine.HostPath(root + "\\delink") + "/link", error);
        fs::create_directory_symlink(machine.HostPath(root + "\\rootreal"), machine.HostPath(root) + "/docs", error);
        fs::create_symlink(elsewhere + "/precious.txt", machine.HostPath(root + "\\filelink") + "/out.txt", error);
        ASSERT_FALSE(error) << error.message();
    }

    std::vector<std::string> NamesIn(const std::string& folder) {
        std::vector<std::string> names;
        plat::FindData data;
        plat::FindHandle find(plat::FindFirst(folder + "\\*.*", &data));
        if (!find.IsValid()) return names;
        do
            if (data.name != "." && data.name != "..") names.push_back(data.name);
        while (plat::FindNext(find.Get(), &data) == 0);
        return names;
    }

    void ExpectElsewhereUntouched() {
        EXPECT_EQ(machine.ReadFile(root + "\\elsewhere\\precious.txt"), "keep");
        EXPECT_EQ(NamesIn(root + "\\elsewhere"), std::vector<std::string>{"precious.txt"});
    }
};

TEST_F(LinkContractTest, NothingIsWrittenThroughALinkBelowAContainedFolder) {
    ContainedScope contained({root});
    const std::string through = root + "\\write\\link";
    EXPECT_EQ(plat::OpenStream(through + "\\new.txt", "wb"), nullptr);
    EXPECT_EQ(plat::LastError(), plat::kErrorCantResolveFilename);
    EXPECT_EQ(plat::OpenStream(through + "\\precious.txt", "a"), nullptr);
    EXPECT_EQ(plat::LastError(), plat::kErrorCantResolveFilename);
    EXPECT_FALSE(plat::MakeFolder(through + "\\sub"));
    EXPECT_EQ(plat::LastError(), plat::kErrorCantResolveFilename);
    EXPECT_EQ(plat::MakeFolderTree(through + "\\a\\b"), static_cast<int>(plat::kErrorCantResolveFilename));
    EXPECT_FALSE(plat::CopyFileTo(root + "\\elsewhere\\precious.txt", through + "\\copy.txt", false));
    EXPECT_EQ(plat::LastError(), plat::kErrorCantResolveFilename);
    EXPECT_FALSE(plat::SetAttributes(through + "\\precious.txt", plat::kAttrReadOnly));
    EXPECT_EQ(plat::LastError(), plat::kErrorCantResolveFilename);
    EXPECT_FALSE(plat::RemoveFile(through + "\\precious.txt"));
    EXPECT_EQ(plat::LastError(), plat::kErrorCantResolveFilename);
    ExpectElsewhereUntouched();
    EXPECT_EQ(plat::GetAttributes(root + "\\elsewhere\\precious.txt") & plat::kAttrReadOnly, 0u);
}

TEST_F(LinkContractTest, AFileLinkIsNeitherWrittenNorCopiedThrough) {
    ContainedScope contained({root});
    const std::string link = root + "\\filelink\\out.txt";
    // Wine shows a host's file link as the file it points to, to every call
    // a Windows program can make: there it cannot be told apart.
    if ((plat::GetAttributes(link) & plat::kAttrReparsePoint) == 0) GTEST_SKIP() << "file links look like files here";
    EXPECT_EQ(plat::OpenStream(link, "w"), nullptr);
    EXPECT_EQ(plat::LastError(), plat::kErrorCantResolveFilename);
    EXPECT_FALSE(plat::CopyFileTo(root + "\\elsewhere\\precious.txt", link, false));
    EXPECT_EQ(plat::LastError(), plat::kErrorCantResolveFilename);
    // Nor is what it points to copied out into one of our folders.
    EXPECT_FALSE(plat::CopyFileTo(link, root + "\\filelink\\copy.txt", false));
    EXPECT_EQ(plat::LastError(), plat::kErrorCantResolveFilename);
    EXPECT_FALSE(machine.Exists(root + "\\filelink\\copy.txt"));
    ExpectElsewhereUntouched();
}

TEST_F(LinkContractTest, DeletingATreeRemovesTheLinksInItAndNotWhatTheyPointTo) {
    ContainedScope contained({root});
    DeleteFolderTree(root + "\\deltree");
    ExpectElsewhereUntouched();
    EXPECT_FALSE(machine.Exists(root + "\\deltree\\sub\\plain.txt"));
    if (!hostMadeLinks) {
        EXPECT_FALSE(machine.Exists(root + "\\deltree")) << log.Text();
    }
}

TEST_F(LinkContractTest, ALinkGivenAsTheTreeIsRemovedItself) {
    ContainedScope contained({root});
    DeleteFolderTree(root + "\\delink\\link");
    ExpectElsewhereUntouched();
    if (!hostMadeLinks) {
        EXPECT_FALSE(machine.Exists(root + "\\delink\\link")) << log.Text();
        EXPECT_EQ(NamesIn(root + "\\delink"), std::vector<std::string>{});
    }
}

TEST_F(LinkContractTest, AContainedFolderThatIsItselfALinkIsUsable) {
    // As the Documents folder of a Wine prefix is.
    ContainedScope contained({root + "\\docs"});
    ASSERT_TRUE(plat::MakeFolder(root + "\\docs\\sub"));
    EXPECT_EQ(plat::MakeFolderTree(root + "\\docs\\deep\\er"), 0);
    plat::StreamHolder out(plat::OpenStream(root + "\\docs\\sub\\f.txt", "wb"));
    ASSERT_TRUE(out);
    EXPECT_EQ(plat::WriteStream(out.Get(), "new", 3), 3u);
    EXPECT_EQ(out.Close(), 0);
    EXPECT_TRUE(plat::SetAttributes(root + "\\docs\\sub\\f.txt", plat::kAttrNormal));
    EXPECT_EQ(machine.ReadFile(root + "\\rootreal\\sub\\f.txt"), "new");
    EXPECT_EQ(plat::PathExists(root + "\\rootreal\\deep\\er"), 1);
    EXPECT_TRUE(plat::CopyFileTo(root + "\\docs\\sub\\f.txt", root + "\\docs\\sub\\g.txt", true));
    EXPECT_TRUE(plat::RemoveFile(root + "\\docs\\sub\\f.txt"));
    EXPECT_TRUE(plat::RemoveFile(root + "\\docs\\sub\\g.txt"));
    EXPECT_TRUE(plat::RemoveFolder(root + "\\docs\\sub"));
    EXPECT_TRUE(plat::RemoveFolder(root + "\\docs\\deep\\er"));
    EXPECT_TRUE(plat::RemoveFolder(root + "\\docs\\deep"));
    EXPECT_EQ(NamesIn(root + "\\rootreal"), std::vector<std::string>{});
}

TEST_F(LinkContractTest, ALinkSwappedInForAFolderBetweenTwoWritesIsNotFollowed) {
    if (hostMadeLinks) GTEST_SKIP() << "the links are made before the tests run";
    ContainedScope contained({root});
    ASSERT_TRUE(plat::MakeFolder(root + "\\swap"));
    ASSERT_TRUE(plat::MakeFolder(root + "\\swap\\Data"));
    plat::StreamHolder first(plat::OpenStream(root + "\\swap\\Data\\a.txt", "wb"));
    ASSERT_TRUE(first);
    first.Close();
    // Another process moves the folder away and puts a link in its place.
    std::string host = machine.HostPath(root + "\\swap");
    std::filesystem::rename(host + "/Data", host + "/Moved");
    std::filesystem::create_directory_symlink(machine.HostPath(root + "\\elsewhere"), host + "/Data");
    EXPECT_EQ(plat::OpenStream(root + "\\swap\\Data\\b.txt", "wb"), nullptr);
    EXPECT_EQ(plat::LastError(), plat::kErrorCantResolveFilename);
    EXPECT_FALSE(plat::MakeFolder(root + "\\swap\\DATA\\c"));
    EXPECT_EQ(plat::LastError(), plat::kErrorCantResolveFilename);
    ExpectElsewhereUntouched();
    EXPECT_FALSE(machine.Exists(root + "\\swap\\Moved\\b.txt"));
    // The link itself goes when it is deleted; its target stays.
    EXPECT_TRUE(plat::RemoveFolder(root + "\\swap\\Data"));
    ExpectElsewhereUntouched();
}

}  // namespace
