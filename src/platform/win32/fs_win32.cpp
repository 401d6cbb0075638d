// The real Win32 calls behind the seam.
#include <direct.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <mmsystem.h>

#include <string>

#include "platform/backend.h"

namespace plat::backend {

DWORD LastError() { return ::GetLastError(); }
void SetLastError(DWORD error) { ::SetLastError(error); }

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

bool MakeFolder(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr) != 0; }

int MakeFolderTree(const std::string& path) {
    // SHCreateDirectoryExA makes missing levels only at backslashes; the
    // installer joins levels with either separator, so hand it backslashes.
    std::string backslashed = path;
    for (char& c : backslashed)
        if (c == '/') c = '\\';
    return ::SHCreateDirectoryExA(nullptr, backslashed.c_str(), nullptr);
}

bool CopyFileTo(const std::string& source, const std::string& destination, bool failIfExists) {
    return ::CopyFileA(source.c_str(), destination.c_str(), failIfExists ? TRUE : FALSE) != 0;
}

bool RemoveFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }
bool RemoveFolder(const std::string& path) { return ::RemoveDirectoryA(path.c_str()) != 0; }

bool SetAttributes(const std::string& path, DWORD attributes) {
    return ::SetFileAttributesA(path.c_str(), attributes) != 0;
}

DWORD GetAttributes(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

int PathExists(const std::string& path) { return ::PathFileExistsA(path.c_str()); }

bool MoveFileReplace(const std::string& from, const std::string& to) {
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void SetContainedFolders(const std::vector<std::string>& folders) {
    // Not yet enforced on this backend: the set is kept for the checks to come.
    static std::vector<std::string> contained;
    contained = folders;
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

DWORD TimeMs() { return ::timeGetTime(); }

intptr_t ShellOpen(const std::string& file) {
    return reinterpret_cast<intptr_t>(::ShellExecuteA(nullptr, "open", file.c_str(), nullptr, nullptr, SW_SHOW));
}

}  // namespace plat::backend
