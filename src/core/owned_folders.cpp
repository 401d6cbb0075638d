#include "core/owned_folders.h"

#include "core/installer_state.h"
#include "platform/platform.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A path taken apart as Windows reads it.
struct PathParts {
    std::string problem;    // empty when the path is absolute and below a root
    std::string canonical;  // "C:\A\B" or "\\SERVER\SHARE\A", upper case, no trailing separator
};

PathParts Parse(const std::string& path) {
    PathParts parts;
    if (path.empty()) {
        parts.problem = "empty path";
        return parts;
    }
    bool unc = path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
    if (unc && path.size() >= 4 && (path[2] == '?' || path[2] == '.') && IsSeparator(path[3])) {
        parts.problem = "device path";
        return parts;
    }
    std::vector<std::string> components;
    bool blankComponent = false;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        std::string component = path.substr(start, end - start);
        if (!component.empty()) {
            // Windows drops a component's trailing dots and spaces: "a. " is "a",
            // and "..", "." or " " are no names at all.
            std::size_t keep = component.find_last_not_of(". ");
            if (keep == std::string::npos) blankComponent = true;
            component.resize(keep == std::string::npos ? 0 : keep + 1);
            for (char& c : component)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            components.push_back(component);
        }
        start = end + 1;
    }
    std::string joined;
    for (const std::string& component : components) joined += "\\" + component;
    if (unc) {
        if (components.size() <= 2) {
            parts.problem = "share root";
            return parts;
        }
        parts.canonical = "\\" + joined;
    } else {
        bool drive = path.size() >= 2 && path[1] == ':' &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
        if (!drive || (path.size() > 2 && !IsSeparator(path[2]))) {
            // "Data\a.txt", "\Data" (the current drive's root) and "C:Data" (the
            // current folder of C:) all depend on where the process stands.
            parts.problem = "relative path";
            return parts;
        }
        if (components.size() <= 1) {
            parts.problem = "drive root";
            return parts;
        }
        parts.canonical = joined.substr(1);
    }
    if (blankComponent) parts.problem = "'.', '..' or a blank name in the path";
    return parts;
}

bool IsAtOrBelow(const std::string& canonicalPath, const std::string& canonicalRoot) {
    if (canonicalPath.size() < canonicalRoot.size()) return false;
    if (canonicalPath.compare(0, canonicalRoot.size(), canonicalRoot) != 0) return false;
    return canonicalPath.size() == canonicalRoot.size() || canonicalPath[canonicalRoot.size()] == '\\';
}

bool IsSame(const std::string& canonicalPath, const std::string& other) {
    PathParts parsed = Parse(other);
    return parsed.problem.empty() && parsed.canonical == canonicalPath;
}

// Adds folder + suffix when the folder is known and the result is a usable path.
void AddWhenSound(std::vector<std::string>& into, const std::string& folder, const char* suffix = "") {
    if (folder.empty()) return;
    std::string path = folder + suffix;
    if (Parse(path).problem.empty()) into.push_back(path);
}

// The installer state's folder strings the set is built from.
std::vector<std::string> FolderStrings(const CPatchwellApp& state) {
    return {state.installFolder,     state.userDataFolder,  state.startMenuFolder,   state.appDataFolder,
            state.builderFolder,     state.userBuilderFolder, state.documentsFolder, state.desktopFolder,
            state.programFilesFolder, state.holdingFolder};
}

struct GuardState {
    bool built = false;
    std::vector<std::string> builtFrom;
    OwnedFolders fromState;
    std::vector<std::string> extras;
    OwnedFolders effective;  // fromState with the extras as trees
};

GuardState& Guard() {
    static GuardState guard;
    return guard;
}

void Recompose(GuardState& guard) {
    guard.effective = guard.fromState;
    for (const std::string& extra : guard.extras) AddWhenSound(guard.effective.trees, extra);
}

}  // namespace

std::string PathShapeProblem(const std::string& path) { return Parse(path).problem; }

std::string OwnedFolders::RefusalReason(const std::string& path, OwnedUse use) const {
    PathParts parsed = Parse(path);
    if (!parsed.problem.empty()) return parsed.problem;
    if (use != OwnedUse::kDelete) {
        // A link planted where the installer makes its own folder would steer
        // the copies into it elsewhere; deleting it removes the link only.
        for (const std::string& tree : madeHere) {
            PathParts root = Parse(tree);
            if (!root.problem.empty() || !IsAtOrBelow(parsed.canonical, root.canonical)) continue;
            plat::DWORD attrib = plat::GetAttributes(tree);
            if (attrib != plat::kInvalidAttributes && (attrib & plat::kAttrReparsePoint)) return "a link stands for the folder";
        }
    }
    for (const std::string& tree : trees) {
        PathParts root = Parse(tree);
        if (root.problem.empty() && IsAtOrBelow(parsed.canonical, root.canonical)) return std::string();
    }
    for (const std::string& file : files) {
        if (IsSame(parsed.canonical, file)) return std::string();
    }
    for (const std::string& folder : creatable) {
        if (!IsSame(parsed.canonical, folder)) continue;
        if (use == OwnedUse::kCreateFolder) return std::string();
        return "a folder the installer only creates";
    }
    return "outside the installer's folders";
}

OwnedFolders OwnedFoldersOf(const CPatchwellApp& state) {
    OwnedFolders owned;
    for (const RootFolder& root : kRootFolders) AddWhenSound(owned.trees, state.*root.field);
    // The trees the installer makes itself: the holding folder (AerovinTemp,
    // or the free name a run chose when a folder of that name is not the
    // installer's) and the two backups.
    if (state.holdingFolder.empty())
        AddWhenSound(owned.madeHere, state.documentsFolder, "/AerovinTemp");
    else
        AddWhenSound(owned.madeHere, state.holdingFolder);
    AddWhenSound(owned.madeHere, state.userDataFolder, "_backup");
    AddWhenSound(owned.madeHere, state.userBuilderFolder, "_backup");
    owned.trees.insert(owned.trees.end(), owned.madeHere.begin(), owned.madeHere.end());
    AddWhenSound(owned.files, state.desktopFolder, "/AerovinRC.lnk");
    AddWhenSound(owned.files, state.desktopFolder, "/Aerovin Builder.lnk");
    AddWhenSound(owned.files, state.documentsFolder, "/AerovinPatchwell.log");
    // The record of an update in progress, and the fresh copy that replaces it.
    AddWhenSound(owned.files, state.documentsFolder, "/AerovinPatchwell.update");
    AddWhenSound(owned.files, state.documentsFolder, "/AerovinPatchwell.update.new");
    AddWhenSound(owned.creatable, state.programFilesFolder);
    return owned;
}

void RebuildOwnedFolders(const CPatchwellApp& state) {
    GuardState& guard = Guard();
    guard.built = true;
    guard.builtFrom = FolderStrings(state);
    guard.fromState = OwnedFoldersOf(state);
    Recompose(guard);
    plat::SetContainedFolders(guard.fromState.trees);
}

const OwnedFolders& CurrentOwnedFolders() {
    GuardState& guard = Guard();
    if (!guard.built || guard.builtFrom != FolderStrings(theApp)) RebuildOwnedFolders(theApp);
    return guard.effective;
}

void SetExtraOwnedFolders(const std::vector<std::string>& folders) {
    GuardState& guard = Guard();
    guard.extras = folders;
    Recompose(guard);
}

const std::vector<std::string>& ExtraOwnedFolders() { return Guard().extras; }

std::string RefusalReason(const std::string& path, OwnedUse use) {
    return CurrentOwnedFolders().RefusalReason(path, use);
}

bool IsOwned(const std::string& path) { return CurrentOwnedFolders().IsOwned(path); }

std::string RefusalReason(const CPatchwellApp& state, const std::string& path, OwnedUse use) {
    if (&state == &theApp) return RefusalReason(path, use);
    OwnedFolders owned = OwnedFoldersOf(state);
    for (const std::string& extra : Guard().extras) AddWhenSound(owned.trees, extra);
    return owned.RefusalReason(path, use);
}
