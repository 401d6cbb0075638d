// The folders and files the installer owns in this run, and the one guard
// that every deleting or writing call of the logic asks first.
//
// Owned: the six root folders of the packages (install, user data, start
// menu, app data, builder, user builder), the holding folder, the two backup
// folders, the two desktop shortcut files and the log. A path is owned when it
// names one of them or lies below an owned folder. The Program Files folder
// may be created when it is missing, never deleted or written into.
//
// Paths compare as Windows compares them: either separator, doubled
// separators and trailing separators ignored, ASCII letters without case,
// trailing dots and spaces of a component dropped.
#pragma once

#include <string>
#include <vector>

class CPatchwellApp;

enum class OwnedUse {
    kWrite,         // create or write a file, copy into a folder, create a folder below an owned one
    kDelete,        // delete a file, a folder or a tree
    kCreateFolder,  // create a folder (and its missing parents)
};

struct OwnedFolders {
    std::vector<std::string> trees;      // owned with everything below them
    std::vector<std::string> files;      // owned as single files
    std::vector<std::string> creatable;  // may be created, nothing more
    // Trees the installer makes itself (the holding and backup folders): one
    // that is a link is not written into, only removed.
    std::vector<std::string> madeHere;

    // Empty when the use of path is allowed, else the reason it is refused.
    std::string RefusalReason(const std::string& path, OwnedUse use) const;
    bool IsOwned(const std::string& path) const { return RefusalReason(path, OwnedUse::kDelete).empty(); }
};

// The set built from the installer state's folder strings. An empty,
// relative, drive-root or share-root folder owns nothing.
OwnedFolders OwnedFoldersOf(const CPatchwellApp& state);

// Builds the set from the installer state, makes it the guard's, and hands
// its trees to the platform so that nothing below them follows a link.
void RebuildOwnedFolders(const CPatchwellApp& state);
// The guard's set: rebuilt from the application's installer state whenever
// one of its folder strings changed since the last build.
const OwnedFolders& CurrentOwnedFolders();

// Folders a harness hands the installer besides its own (a test machine's
// scratch folder); none in the program. Kept across rebuilds.
void SetExtraOwnedFolders(const std::vector<std::string>& folders);
const std::vector<std::string>& ExtraOwnedFolders();

// Why a path can never be acted on, whatever the set: "empty path",
// "relative path", "drive root", "share root", "device path",
// "'.', '..' or a blank name in the path". Empty for an absolute path below
// a root.
std::string PathShapeProblem(const std::string& path);

// The guard: empty when the current set allows the use, else the reason.
std::string RefusalReason(const std::string& path, OwnedUse use);
// The same for a step that works from an installer state of its own: the set
// built from that state (the current set when it is the application's).
std::string RefusalReason(const CPatchwellApp& state, const std::string& path, OwnedUse use);
bool IsOwned(const std::string& path);
