// Every descriptor and folder listing the POSIX backend opens for a call is
// closed again on every way out of it, the failing ones above all.
#include <gtest/gtest.h>
#include <dirent.h>

#include <string>

#include "platform/platform.h"
#include "platform/posix/posix_internal.h"
#include "support/scratch_machine.h"

namespace {

int OpenDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++count;
        closedir(dir);
    }
    return count;
}

// Writes, copies, moves, lists and fails in each of those ways, inside a
// contained folder and outside one.
void ExerciseTheFileCalls(const std::string& root) {
    const std::string data = root + "\\Data";
    plat::MakeFolder(data);
    {
        plat::StreamHolder out(plat::OpenStream(data + "\\a.txt", "wb"));
        if (out) plat::WriteStream(out.Get(), "abc", 3);
    }
    plat::CopyFileTo(data + "\\a.txt", data + "\\b.txt", false);
    plat::CopyFileTo(data + "\\a.txt", data + "\\a.txt", false);          // onto itself
    plat::CopyFileTo(data + "\\a.txt", root + "\\Missing\\c.txt", false);  // no such folder
    plat::CopyFileTo(data + "\\none.txt", data + "\\d.txt", false);        // no such source
    plat::CopyFileTo(data + "\\a.txt", data, false);                       // onto a folder
    plat::StreamHolder folder(plat::OpenStream(data, "wb"));               // a folder for writing
    plat::StreamHolder missing(plat::OpenStream(root + "\\Missing\\e.txt", "wb"));
    plat::StreamHolder read(plat::OpenStream(data + "\\A.TXT", "rb"));
    plat::MoveFileReplace(data + "\\b.txt", data + "\\B2.txt");
    plat::MoveFileReplace(data + "\\none.txt", data + "\\f.txt");
    plat::FindData found;
    intptr_t handle = plat::FindFirst(data + "\\*.*", &found);
    if (handle != -1) plat::FindClose(handle);
    plat::FindFirst(root + "\\Missing\\*.*", &found);
    plat::PathExists(data + "\\b2.TXT");
    plat::RemoveFile(data + "\\B2.txt");
}

TEST(DescriptorsPosixTest, NoCallLeavesADescriptorOpen) {
    ScratchMachine machine;
    const std::string outside = machine.Root() + "\\Outside";
    const std::string inside = machine.Root() + "\\Inside";
    plat::MakeFolder(outside);
    plat::MakeFolder(inside);
    // Measured from a backend that keeps nothing open between calls.
    plat::SetContainedFolders({});
    plat::posix::ForgetFolderNames();
    const int before = OpenDescriptors();
    ExerciseTheFileCalls(outside);
    plat::SetContainedFolders({inside});
    ExerciseTheFileCalls(inside);
    // What the backend keeps between calls on purpose goes with these.
    plat::SetContainedFolders({});
    plat::posix::ForgetFolderNames();
    EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
