// The real Win32 calls behind the seam.
#include <direct.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <mmsystem.h>

#include <string>
#include <vector>

#include "platform/backend.h"

namespace plat::backend {

DWORD LastError() { return ::GetLastError(); }
void SetLastError(DWORD error) { ::SetLastError(error); }

// ---- Containment: the folders the program writes below ----
//
// Each contained folder is taken as the system gives it; below it, a call that
// writes, copies or deletes checks every name on the way for a reparse point
// (a junction or a symbolic link) and fails with ERROR_CANT_RESOLVE_FILENAME
// rather than pass through one. A reparse point named by a deletion is
// removed itself, which is what DeleteFileA and RemoveDirectoryA do.
namespace containment {

std::vector<std::string>& Folders() {
    static std::vector<std::string> folders;
    return folders;
}

// The full path with backslashes only and no separator at the end; empty
// when the system cannot make one.
std::string FullPath(const std::string& path) {
    if (path.empty()) return std::string();
    char buffer[MAX_PATH * 4];
    DWORD length = ::GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    if (length == 0 || length >= sizeof buffer) return std::string();
    std::string full(buffer, length);
    for (char& c : full)
        if (c == '/') c = '\\';
    while (full.size() > 3 && full.back() == '\\') full.pop_back();
    return full;
}

bool SameIgnoringCase(const std::string& a, const std::string& b, std::size_t length) {
    return ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), static_cast<int>(length), b.c_str(),
                            static_cast<int>(length)) == CSTR_EQUAL;
}

// The length of the part of full that is taken as the system gives it: the
// longest contained folder full lies below, or the folder of a contained path
// itself. 0: below none.
std::size_t RootLength(const std::string& full) {
    std::size_t best = 0;
    for (const std::string& folder : Folders()) {
        std::size_t root = 0;
        if (full.size() == folder.size() && SameIgnoringCase(full, folder, full.size())) {
            root = folder.find_last_of('\\');
            if (root == std::string::npos || root < 3) continue;
        } else if (full.size() > folder.size() && full[folder.size()] == '\\' &&
                   SameIgnoringCase(full, folder, folder.size())) {
            root = folder.size();
        } else {
            continue;
        }
        if (root > best) best = root;
    }
    return best;
}

bool IsReparsePoint(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// False, with ERROR_CANT_RESOLVE_FILENAME, when a name below the contained
// folder of path is a reparse point: every name on the way, and with
// lastToo the last name as well.
bool NoLinkOnTheWay(const std::string& path, bool lastToo) {
    if (Folders().empty()) return true;
    std::string full = FullPath(path);
    std::size_t root = full.empty() ? 0 : RootLength(full);
    if (root == 0) return true;
    for (std::size_t at = full.find('\\', root + 1);; at = full.find('\\', at + 1)) {
        bool last = at == std::string::npos;
        if (last && !lastToo) break;
        std::string level = last ? full : full.substr(0, at);
        DWORD attributes = ::GetFileAttributesA(level.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) break;  // missing: the call itself says so
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            ::SetLastError(kErrorCantResolveFilename);
            return false;
        }
        if (last) break;
    }
    return true;
}

bool IsBelowContained(const std::string& path) {
    if (Folders().empty()) return false;
    std::string full = FullPath(path);
    return !full.empty() && RootLength(full) > 0;
}

}  // namespace containment

namespace {

void Fill(const _finddata_t& found, FindData* data) {
    data->attrib = found.attrib;
    data->name = found.name;
}

}  // namespace

intptr_t FindFirst(const std::string& pattern, FindData* data) {
    _finddata_t found;
    intptr_t handle = _findfirst(pattern.c_str(), &found);
    if (handle != -1) Fill(found, data);
    return handle;
}

int FindNext(intptr_t handle, FindData* data) {
    _finddata_t found;
    int result = _findnext(handle, &found);
    if (result == 0) Fill(found, data);
    return result;
}

int FindClose(intptr_t handle) { return _findclose(handle); }

int ChangeDir(const std::string& path) { return _chdir(path.c_str()); }

std::string CurrentDir() {
    char buffer[MAX_PATH * 4];
    return _getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

bool MakeFolder(const std::string& path) {
    if (!containment::NoLinkOnTheWay(path, false)) return false;
    return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}

int MakeFolderTree(const std::string& path) {
    // An existing level that is a reparse point would be created through.
    if (!containment::NoLinkOnTheWay(path, true)) return static_cast<int>(kErrorCantResolveFilename);
    // SHCreateDirectoryExA makes missing levels only at backslashes; the
    // installer joins levels with either separator, so hand it backslashes.
    std::string backslashed = path;
    for (char& c : backslashed)
        if (c == '/') c = '\\';
    return ::SHCreateDirectoryExA(nullptr, backslashed.c_str(), nullptr);
}

bool CopyFileTo(const std::string& source, const std::string& destination, bool failIfExists) {
    // Neither a linked source nor a linked destination is copied through.
    if (!containment::NoLinkOnTheWay(source, true) || !containment::NoLinkOnTheWay(destination, true)) return false;
    return ::CopyFileA(source.c_str(), destination.c_str(), failIfExists ? TRUE : FALSE) != 0;
}

// A reparse point named here goes itself: DeleteFileA removes a file link,
// RemoveDirectoryA a junction or folder link, and neither enters it.
bool RemoveFile(const std::string& path) {
    if (!containment::NoLinkOnTheWay(path, false)) return false;
    return ::DeleteFileA(path.c_str()) != 0;
}

bool RemoveFolder(const std::string& path) {
    if (!containment::NoLinkOnTheWay(path, false)) return false;
    return ::RemoveDirectoryA(path.c_str()) != 0;
}

bool SetAttributes(const std::string& path, DWORD attributes) {
    if (!containment::NoLinkOnTheWay(path, false)) return false;
    // A link below a contained folder keeps its marks, as on the POSIX backend.
    if (containment::IsBelowContained(path) && containment::IsReparsePoint(path)) return true;
    return ::SetFileAttributesA(path.c_str(), attributes) != 0;
}

DWORD GetAttributes(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

int PathExists(const std::string& path) { return ::PathFileExistsA(path.c_str()); }

bool MoveFileReplace(const std::string& from, const std::string& to) {
    // The last names move or are replaced themselves; only the way there is checked.
    if (!containment::NoLinkOnTheWay(from, false) || !containment::NoLinkOnTheWay(to, false)) return false;
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void SetContainedFolders(const std::vector<std::string>& folders) {
    std::vector<std::string>& kept = containment::Folders();
    kept.clear();
    for (const std::string& folder : folders) {
        // Only an absolute path below a drive names a folder; a root is never ours.
        if (folder.size() < 3 || folder[1] != ':') continue;
        std::string full = containment::FullPath(folder);
        if (full.size() > 3) kept.push_back(full);
    }
}

DWORD LogicalDriveStrings(DWORD bufferLength, char* buffer) {
    return ::GetLogicalDriveStringsA(bufferLength, buffer);
}

std::string CommandLine() { return ::GetCommandLineA(); }

HRESULT FolderPath(int csidl, std::string* folder) {
    char buffer[MAX_PATH] = {};
    HRESULT result = ::SHGetFolderPathA(nullptr, csidl, nullptr, 0, buffer);
    *folder = SUCCEEDED(result) ? buffer : "";
    return result;
}

namespace {

// WINMM.DLL is not one of the DLLs the system protects: it is loaded from the
// system folder by its full path, never found by a search that could look
// beside the program first, and only when the clock is first read.
using TimeGetTimeFn = DWORD(WINAPI*)();

TimeGetTimeFn SystemTimeGetTime() {
    static const TimeGetTimeFn resolved = []() -> TimeGetTimeFn {
        char system[MAX_PATH];
        UINT length = ::GetSystemDirectoryA(system, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return nullptr;
        HMODULE winmm = ::LoadLibraryA((std::string(system, length) + "\\winmm.dll").c_str());
        if (!winmm) return nullptr;
        return reinterpret_cast<TimeGetTimeFn>(reinterpret_cast<void*>(::GetProcAddress(winmm, "timeGetTime")));
    }();
    return resolved;
}

}  // namespace

// timeGetTime; the tick count, of the same clock, where WINMM cannot be had.
DWORD TimeMs() {
    TimeGetTimeFn timeGetTime = SystemTimeGetTime();
    return timeGetTime ? timeGetTime() : ::GetTickCount();
}

intptr_t ShellOpen(const std::string& file) {
    return reinterpret_cast<intptr_t>(::ShellExecuteA(nullptr, "open", file.c_str(), nullptr, nullptr, SW_SHOW));
}

}  // namespace plat::backend
