// The folders the program owns for a run, resolved once and kept open.
//
// Each contained folder is opened as the system gives it (a Documents folder
// that is a link to the home folder is followed), and everything below it is
// reached from that descriptor one name at a time without following a link
// (openat2 with RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS, or O_NOFOLLOW where the
// kernel lacks it). The folders met on the way stay open, and their names are
// kept, while the kernel watches them (inotify): a folder that is deleted,
// renamed or replaced, by us or by anyone, is dropped before the next call
// uses it, so that a link swapped in for a folder is never written through.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/posix_internal.h"
#include "platform/posix/unique_fd.h"

namespace plat::posix {

struct FolderNode;

// Where a path below a contained folder lies: the open folder that holds its
// last name, and that name as the host spells it.
struct Place {
    int folder = -1;        // borrowed: valid until the next call of this module
    FolderNode* node = nullptr;
    unsigned long generation = 0;
    std::string hostName;   // the existing spelling, or the name as given when none matches
    bool exists = false;    // a name of that spelling (in any case) is in the folder
    std::string key;        // the path without regard to case, for the marks below
};

enum class Placing {
    kOutside,  // below no contained folder: the path is resolved as before
    kPlaced,   // *place is filled
    kFailed,   // *error holds the Windows error (1921 for a link on the way)
};

// Resolves the folder of path's last name. A link met on the way fails with
// kErrorCantResolveFilename; a missing folder with kErrorPathNotFound.
Placing PlaceBelowContained(const WinPath& path, Place* place, DWORD* error);

// The path of a contained folder itself, or a path below one.
bool IsContained(const WinPath& path);
// How many of path's names make up the folder taken as the system gives it
// (the contained folder it lies below, or a contained path's own folder); 0
// when it is not contained.
std::size_t ContainedRootLength(const WinPath& path);

// Our own changes, applied to what is kept at once (the kernel's word follows).
void NoteCreated(const Place& place, bool isFolder);
void NoteRemoved(const Place& place);
// The files and folders this run has just created (the most recent few
// hundred) and knows to carry no marks: clearing their attributes changes
// nothing. A change to one forgets it; a copy or a move forgets them all.
void MarkPlain(const Place& place);
bool IsKnownPlain(const WinPath& path);
void ForgetPlain();
// Forgets only what was known of place: an operation that changes that one name.
void ForgetPlainAt(const Place& place);

// The owner's descriptor for a name below a folder, never through a link
// (openat2 where the kernel has it, else openat with O_NOFOLLOW).
int OpenBeneath(int folder, const std::string& name, int flags, unsigned mode = 0);

// Opens a Windows path for writing, truncated or appended to. Below a
// contained folder the name is never opened through a link; elsewhere the
// host path is opened as before. -1 with *error on failure.
int OpenForWriting(const std::string& path, bool append, DWORD* error);

// The Windows error for an errno met below a contained folder.
DWORD ContainedErrorOf(int error, bool parentKnown);

void SetContained(const std::vector<std::string>& folders);
// Drops every kept folder and the set itself (another prefix is used).
void ForgetContained();
// For tests: resolve with openat and O_NOFOLLOW as on a kernel without openat2.
void UseComponentWalkOnly(bool only);

}  // namespace plat::posix
