#include "core/file_ops.h"

#include "core/log.h"
#include "core/owned_folders.h"
#include "platform/platform.h"

namespace {

// The listers test the attribute word for equality on purpose: a file marked
// hidden and archive (0x22) counts as neither hidden nor system.
bool IsExcludedByListers(plat::DWORD attrib, bool includeHidden, bool includeSystem) {
    return (attrib == plat::kAttrSystem && !includeSystem) || (attrib == plat::kAttrHidden && !includeHidden);
}

bool IsDotName(const std::string& name) { return name.empty() || name == "." || name == ".."; }

// A path in one spelling, for comparing folders: backslashes, no doubled or
// trailing separators, upper case.
std::string Canonical(const std::string& path) {
    std::string out;
    for (char c : path) {
        char d = (c == '/') ? '\\' : c;
        if (d == '\\' && !out.empty() && out.back() == '\\') continue;
        out += (d >= 'a' && d <= 'z') ? static_cast<char>(d - 'a' + 'A') : d;
    }
    while (out.size() > 3 && out.back() == '\\') out.pop_back();
    return out;
}

// True when folder is the current directory or one of its parents.
bool HoldsCurrentDirectory(const std::string& folder) {
    std::string current = Canonical(plat::CurrentDir());
    std::string tree = Canonical(folder);
    if (current.size() < tree.size() || current.compare(0, tree.size(), tree) != 0) return false;
    return current.size() == tree.size() || current[tree.size()] == '\\' || tree.back() == '\\';
}

std::string ParentFolder(const std::string& path) {
    std::size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos) return std::string();
    std::string parent = path.substr(0, cut);
    if (parent.size() == 2 && parent[1] == ':') parent += '\\';
    return parent;
}

// The path as a log line shows it.
std::string Shown(const std::string& path) { return PrintableText(path); }

// Ends the line the operation opened with the guard's refusal, if it refuses.
bool Refused(const std::string& path, OwnedUse use) {
    std::string reason = RefusalReason(path, use);
    if (reason.empty()) return false;
    LogText("Refused: " + reason + "\n");
    return true;
}

bool IsFolderLink(const std::string& path) {
    plat::DWORD attrib = plat::GetAttributes(path);
    return attrib != plat::kInvalidAttributes && (attrib & plat::kAttrReparsePoint) && (attrib & plat::kAttrDirectory);
}

// Creates the folder and its missing parents; false when the guard refused it.
bool CreateFolderLogged(const std::string& path) {
    LogPrintf("Creating folder: %s...", Shown(path).c_str());
    if (Refused(path, OwnedUse::kCreateFolder)) return false;
    int result = plat::MakeFolderTree(path);
    if (result == 0) {
        plat::SetAttributes(path, plat::kAttrNormal);
        LogPrintf("Done\n");
    } else {
        LogPrintf("Failed (%d)\n", result);
    }
    return true;
}

}  // namespace

// An empty folder string is a folder that does not exist: every helper passes
// over it without a word, and never takes it for the current drive's root.

void FindFiles(const std::string& folder, const std::string& pattern, std::list<std::string>& result,
               bool recurse, bool includeHidden, bool includeSystem, bool fullPaths) {
    if (folder.empty()) return;
    if (plat::ChangeDir(folder) != 0) return;  // a missing folder is silent
    plat::FindData entry;
    {
        plat::FindHandle find(plat::FindFirst(folder + "/" + pattern, &entry));
        if (find.IsValid()) {
            do {
                if (IsExcludedByListers(entry.attrib, includeHidden, includeSystem)) continue;
                if (IsDotName(entry.name)) continue;
                if (entry.attrib & plat::kAttrDirectory) continue;
                result.push_back(fullPaths ? folder + "/" + entry.name : entry.name);
            } while (plat::FindNext(find.Get(), &entry) == 0);
        }
    }
    if (!recurse) return;
    std::vector<std::string> subfolders;
    FindFolders(folder, subfolders, /*recurse*/ false, includeHidden, includeSystem, /*fullPaths*/ false);
    for (const std::string& name : subfolders)
        FindFiles(folder + "/" + name, pattern, result, recurse, includeHidden, includeSystem, fullPaths);
}

void FindFolders(const std::string& folder, std::vector<std::string>& result, bool recurse,
                 bool includeHidden, bool includeSystem, bool fullPaths) {
    if (folder.empty()) return;
    if (plat::ChangeDir(folder) != 0) return;
    plat::FindData entry;
    plat::FindHandle find(plat::FindFirst(folder + "/*.*", &entry));
    if (!find.IsValid()) return;
    do {
        if (IsExcludedByListers(entry.attrib, includeHidden, includeSystem)) continue;
        if (IsDotName(entry.name)) continue;
        if (!(entry.attrib & plat::kAttrDirectory)) continue;
        result.push_back(fullPaths ? folder + "/" + entry.name : entry.name);
        if (recurse)
            FindFolders(folder + "/" + entry.name, result, recurse, includeHidden, includeSystem, fullPaths);
    } while (plat::FindNext(find.Get(), &entry) == 0);
}

bool CopyOneFile(const std::string& source, const std::string& destination, bool overwrite) {
    if (source.empty() || destination.empty()) return false;  // nothing can be copied
    LogPrintf("Copying: %s -> %s...", Shown(source).c_str(), Shown(destination).c_str());
    if (Refused(destination, OwnedUse::kWrite)) return false;
    if (plat::CopyFileTo(source, destination, /*failIfExists*/ !overwrite)) {
        plat::SetAttributes(destination, plat::kAttrNormal);
        LogPrintf("Done\n");
        return true;
    }
    plat::DWORD error = plat::LastError();
    LogPrintf("Failed (%d)\n", static_cast<int>(error));
    return false;
}

bool CopyFolderTree(const std::string& source, const std::string& destination) {
    if (source.empty()) return true;  // nothing to copy
    if (plat::ChangeDir(source) != 0) return true;
    // A tree with nowhere to go is not copied.
    if (destination.empty()) return false;
    // A folder link is not followed: its target is not part of the tree.
    if (IsFolderLink(source)) return true;
    if (!CreateFolderLogged(destination)) return false;
    bool complete = true;
    std::list<std::string> files;
    FindFiles(source, "*.*", files, /*recurse*/ false, /*includeHidden*/ false, /*includeSystem*/ false,
              /*fullPaths*/ false);
    for (const std::string& name : files)
        complete &= CopyOneFile(source + "/" + name, destination + "/" + name, /*overwrite*/ true);
    std::vector<std::string> folders;
    FindFolders(source, folders, /*recurse*/ false, /*includeHidden*/ false, /*includeSystem*/ false,
                /*fullPaths*/ false);
    for (const std::string& name : folders) {
        if (IsFolderLink(source + "/" + name)) continue;
        complete &= CopyFolderTree(source + "/" + name, destination + "/" + name);
    }
    return complete;
}

void CreateFolder(const std::string& path) {
    if (path.empty()) return;
    CreateFolderLogged(path);
}

bool DeleteOneFile(const std::string& path) {
    if (path.empty()) return false;
    std::string reason = RefusalReason(path, OwnedUse::kDelete);
    if (!reason.empty()) {
        LogPrintf("Error: refused to delete %s: %s\n", Shown(path).c_str(), reason.c_str());
        return false;
    }
    return plat::RemoveFile(path);
}

plat::Stream* OpenForWriting(const std::string& path, const char* mode) {
    std::string reason = RefusalReason(path, OwnedUse::kWrite);
    if (!reason.empty()) {
        LogPrintf("Error: refused to write %s: %s\n", Shown(path).c_str(), reason.c_str());
        plat::SetLastError(plat::kErrorAccessDenied);
        return nullptr;
    }
    return plat::OpenStream(path, mode);
}

namespace {

void RemoveOneFolder(const std::string& path) {
    LogPrintf("Deleting folder: %s...", Shown(path).c_str());
    if (Refused(path, OwnedUse::kDelete)) return;
    plat::SetAttributes(path, plat::kAttrNormal);
    if (plat::RemoveFolder(path)) {
        LogPrintf("Done\n");
    } else {
        plat::DWORD error = plat::LastError();
        LogPrintf("Failed (%d)\n", static_cast<int>(error));
    }
}

void RemoveOneFile(const std::string& full) {
    LogPrintf("Deleting file: %s...", Shown(full).c_str());
    if (Refused(full, OwnedUse::kDelete)) return;
    plat::SetAttributes(full, plat::kAttrNormal);
    if (plat::RemoveFile(full)) {
        LogPrintf("Done\n");
    } else {
        plat::DWORD error = plat::LastError();
        LogPrintf("Failed (%d)\n", static_cast<int>(error));
    }
}

}  // namespace

void DeleteFolderTree(const std::string& path) {
    if (path.empty()) return;
    // Nothing outside the installer's folders is listed, let alone deleted.
    std::string reason = RefusalReason(path, OwnedUse::kDelete);
    if (!reason.empty()) {
        LogPrintf("Deleting folder: %s...", Shown(path).c_str());
        LogText("Refused: " + reason + "\n");
        return;
    }
    // A link given as the tree is removed itself; its target is never entered.
    if (IsFolderLink(path)) {
        RemoveOneFolder(path);
        return;
    }
    std::vector<std::string> folders, folderLinks, files;
    {
        plat::FindData entry;
        plat::FindHandle find(plat::FindFirst(path + "/*.*", &entry));
        if (!find.IsValid()) return;  // a missing folder is silent
        // The first entry is the folder's own "." and is passed over unexamined.
        while (plat::FindNext(find.Get(), &entry) == 0) {
            if (entry.attrib & (plat::kAttrHidden | plat::kAttrSystem)) continue;
            if (!entry.name.empty() && entry.name[0] == '.') continue;
            if (entry.attrib & plat::kAttrDirectory)
                ((entry.attrib & plat::kAttrReparsePoint) ? folderLinks : folders).push_back(entry.name);
            else
                files.push_back(entry.name);
        }
    }
    for (const std::string& name : folders) DeleteFolderTree(path + "/" + name);
    // A folder link is removed itself; what it points to is never touched.
    for (const std::string& name : folderLinks) RemoveOneFolder(path + "/" + name);
    // A file link is removed by DeleteFileA itself, its target untouched.
    for (const std::string& name : files) RemoveOneFile(path + "/" + name);
    // The listers leave the current directory in the last folder they entered,
    // and Windows will not remove a process's current directory: step out first.
    if (HoldsCurrentDirectory(path)) plat::ChangeDir(ParentFolder(path));
    RemoveOneFolder(path);
}
