// The five known folders the installer asks for, answered as Wine answers
// them: the path wherever something stands there, a file too, and a failure
// with no path where nothing does. Each folder is pointed at a place of the
// test's own through the registry value it is read from ("User Shell
// Folders", or "ProgramFilesDir" for Program Files), and put back after.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/registry.h"
#include "support/scratch_machine.h"

namespace {

constexpr char kUserShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr char kCurrentVersion[] = "Software\\Microsoft\\Windows\\CurrentVersion";

struct ShellFolder {
    int csidl;
    plat::RegHandle root;
    const char* keyName;
    const char* valueName;
};

constexpr ShellFolder kFolders[] = {
    {plat::kCsidlPersonal, plat::kHkeyCurrentUser, kUserShellFolders, "Personal"},
    {plat::kCsidlAppData, plat::kHkeyCurrentUser, kUserShellFolders, "AppData"},
    {plat::kCsidlCommonPrograms, plat::kHkeyLocalMachine, kUserShellFolders, "Common Programs"},
    {plat::kCsidlCommonDesktop, plat::kHkeyLocalMachine, kUserShellFolders, "Common Desktop"},
    {plat::kCsidlProgramFiles, plat::kHkeyLocalMachine, kCurrentVersion, "ProgramFilesDir"},
};

// Points one shell folder elsewhere for a while; the old value comes back at the end.
class RedirectedFolder {
public:
    RedirectedFolder(const ShellFolder& folder, const std::string& path) {
        plat::DWORD disposition = 0;
        if (plat::RegCreateKey(folder.root, folder.keyName, plat::kKeyAllAccess, &key, &disposition) != 0) return;
        name = folder.valueName;
        plat::DWORD size = sizeof saved;
        if (plat::RegQueryValue(key, name, &savedType, saved, &size) == 0) savedSize = size;
        Set(plat::kRegSz, path.c_str(), static_cast<plat::DWORD>(path.size() + 1));
    }
    ~RedirectedFolder() {
        if (!key) return;
        // A value that was not there is left empty, which reads as none.
        if (savedSize)
            Set(savedType, saved, savedSize);
        else
            Set(plat::kRegSz, "", 1);
        plat::RegCloseKey(key);
    }
    RedirectedFolder(const RedirectedFolder&) = delete;
    RedirectedFolder& operator=(const RedirectedFolder&) = delete;
    bool Ready() const { return key != 0 && set; }

private:
    void Set(plat::DWORD type, const void* data, plat::DWORD size) {
        set = plat::RegSetValue(key, name, type, data, size) == 0;
    }
    plat::RegHandle key = 0;
    std::string name;
    plat::DWORD savedType = plat::kRegSz;
    char saved[1024] = {};
    plat::DWORD savedSize = 0;
    bool set = false;
};

TEST(KnownFoldersContractTest, AFolderIsFoundWhereSomethingStandsAndNotWhereNothingDoes) {
    ScratchMachine machine;
    for (const ShellFolder& folder : kFolders) {
        SCOPED_TRACE(folder.valueName);
        std::string original;
        ASSERT_EQ(plat::FolderPath(folder.csidl, &original), 0);
        ASSERT_FALSE(original.empty());

        std::string nothing = machine.Root() + "\\nothing here";
        {
            RedirectedFolder redirected(folder, nothing);
            ASSERT_TRUE(redirected.Ready());
            std::string answer = "left over";
            EXPECT_NE(plat::FolderPath(folder.csidl, &answer), 0);
            EXPECT_EQ(answer, "");

            machine.WriteFile(nothing, "a file where the folder should be");
            answer.clear();
            EXPECT_EQ(plat::FolderPath(folder.csidl, &answer), 0);
            EXPECT_EQ(answer, nothing);
            EXPECT_TRUE(plat::RemoveFile(nothing));
        }
        std::string again;
        EXPECT_EQ(plat::FolderPath(folder.csidl, &again), 0);
        EXPECT_EQ(again, original);
    }
}

}  // namespace
