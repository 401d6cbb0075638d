// Shared by the files of the POSIX backend.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace plat::posix {

// A Windows path taken apart: the drive letter (upper case) and its names,
// with "." and ".." already applied and empty names (doubled separators) dropped.
struct WinPath {
    char drive = 'C';
    std::vector<std::string> names;
};

bool ParseWindowsPath(const std::string& path, WinPath* out);
std::string FormatWindowsPath(const WinPath& path);
std::string HostPathOf(const WinPath& path);
bool DriveExists(char drive);
const WinPath& CurrentDirPath();
void SetCurrentDirPath(const WinPath& path);

// The host path of ansiName inside hostFolder: the exact name when it
// exists, else the first name the folder lists that differs only in case,
// else the exact name. exactMissing: the caller has just seen that the exact
// name does not exist.
std::string HostChild(const std::string& hostFolder, const std::string& ansiName, bool exactMissing);
// Drops the folder names kept for HostChild (another prefix is used).
void ForgetFolderNames();

std::string UpperCase(const std::string& ansi);
bool SameNameIgnoringCase(const std::string& a, const std::string& b);

// The Windows error for a path that is missing: 2 when its folder exists, else 3.
DWORD MissingPathError(const std::string& hostPath);
// The Windows error of an errno after a failed call on hostPath.
DWORD WindowsErrorOf(int error, const std::string& hostPath);

}  // namespace plat::posix
