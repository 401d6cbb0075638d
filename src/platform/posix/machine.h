// The machine the POSIX backend stands in for: a Wine prefix.
#pragma once

#include <string>

#include "platform/platform.h"
#include "platform/posix/codepage.h"

namespace plat::posix {

// Uses the Wine prefix at hostFolder. False, with a one-line reason, when it
// lacks dosdevices/ or drive_c/.
bool UseMachine(const std::string& hostFolder, std::string* error);
const std::string& PrefixFolder();
// True when the prefix's system.reg says "#arch=win64": a 64-bit machine,
// seen from the 32-bit installer.
bool Is64BitMachine();
// The Wine user whose folders the known-folder queries give.
std::string UserName();

// What GetCommandLineA answers.
void SetCommandLine(const std::string& commandLine);

// The host path a Windows path maps onto: its drive's link in dosdevices/,
// then each name, looked up without regard to letter case where the exact
// name is missing. Relative paths start from the program's current directory.
// Empty when the drive does not exist.
std::string HostPathOf(const std::string& windowsPath);
// The Windows path of a host path, through the drive whose link target is
// the longest prefix of its real path; empty when no drive reaches it.
std::string WindowsPathOf(const std::string& hostPath);

// True when a wineserver has the prefix open. Wine writes its own copy of the
// registry over the files when that server exits, so the program must not run
// against such a prefix. message receives a one-line reason.
bool PrefixInUse(std::string* message);

// Replaces timeGetTime, for tests; nullptr restores the real clock.
void SetClock(DWORD (*clock)());

}  // namespace plat::posix
