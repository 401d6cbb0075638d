// The Wine prefix behind the POSIX backend: drives, path mapping, the current
// directory, the command line, known folders and the clock.
#include <dirent.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/backend.h"
#include "platform/posix/contained.h"
#include "platform/posix/machine.h"
#include "platform/posix/posix_internal.h"
#include "platform/posix/registry_store.h"
#include "platform/posix/unique_fd.h"

extern char** environ;

namespace plat::posix {
namespace {

struct MachineState {
    std::string prefix;
    std::string commandLine;
    WinPath currentDir{'C', {}};
    DWORD (*clock)() = nullptr;
    int arch = -1;  // -1 not read yet, 0 win32, 1 win64
};

MachineState& State() {
    static MachineState state;
    return state;
}

bool IsDirectory(const std::string& host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string DefaultPrefix() {
    if (const char* wp = std::getenv("WINEPREFIX"); wp && *wp) return wp;
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.wine";
    return ".wine";
}

std::string LoginName() {
    if (const char* user = std::getenv("USER"); user && *user) return user;
    if (const passwd* pw = getpwuid(getuid())) return pw->pw_name;
    return "user";
}

unsigned char UpperAnsi(unsigned char c) {
    if (c >= 'a' && c <= 'z') return c - 0x20;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
    if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 0x10;
    if (c == 0xFF) return 0x9F;
    return c;
}

}  // namespace

std::string UpperCase(const std::string& ansi) {
    std::string out = ansi;
    for (char& c : out) c = static_cast<char>(UpperAnsi(static_cast<unsigned char>(c)));
    return out;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && UpperCase(a) == UpperCase(b);
}

bool UseMachine(const std::string& hostFolder, std::string* error) {
    std::string prefix = hostFolder.empty() ? DefaultPrefix() : hostFolder;
    while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
    if (!IsDirectory(prefix + "/dosdevices") || !IsDirectory(prefix + "/drive_c")) {
        if (error) *error = "not a Wine prefix (no dosdevices/ or drive_c/): " + prefix;
        return false;
    }
    MachineState& state = State();
    state.prefix = prefix;
    state.arch = -1;
    state.currentDir = WinPath{'C', {}};
    ForgetRegistry();
    ForgetFolderNames();
    ForgetContained();
    return true;
}

const std::string& PrefixFolder() { return State().prefix; }

bool Is64BitMachine() {
    MachineState& state = State();
    if (state.arch < 0) {
        state.arch = 0;
        std::ifstream reg(state.prefix + "/system.reg");
        std::string line;
        for (int i = 0; i < 10 && std::getline(reg, line); ++i) {
            if (line.rfind("#arch=", 0) == 0) {
                state.arch = line.compare(0, 11, "#arch=win64") == 0 ? 1 : 0;
                break;
            }
            if (i == 9 && IsDirectory(state.prefix + "/drive_c/windows/syswow64")) state.arch = 1;
        }
        if (!reg.is_open() && IsDirectory(state.prefix + "/drive_c/windows/syswow64")) state.arch = 1;
    }
    return state.arch == 1;
}

std::string UserName() {
    std::string login = LoginName();
    std::string users = State().prefix + "/drive_c/users";
    if (IsDirectory(users + "/" + login)) return login;
    std::vector<std::string> others;
    if (UniqueDir dir(opendir(users.c_str())); dir) {
        while (dirent* entry = readdir(dir.Get())) {
            std::string name = entry->d_name;
            if (name != "." && name != ".." && name != "Public" && IsDirectory(users + "/" + name))
                others.push_back(name);
        }
    }
    return others.size() == 1 ? others.front() : login;
}

void SetCommandLine(const std::string& commandLine) { State().commandLine = commandLine; }

void SetClock(DWORD (*clock)()) { State().clock = clock; }

// ---- Windows paths ----

bool ParseWindowsPath(const std::string& path, WinPath* out) {
    std::size_t pos = 0;
    WinPath result;
    bool absolute = false;
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        result.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        pos = 2;
        absolute = true;
    } else if (!path.empty() && (path[0] == '\\' || path[0] == '/')) {
        result.drive = State().currentDir.drive;
        absolute = true;
    }
    if (!absolute) result = State().currentDir;
    std::size_t start = pos;
    for (std::size_t i = pos; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\' || path[i] == '/') {
            std::string name = path.substr(start, i - start);
            start = i + 1;
            if (name.empty() || name == ".") continue;
            if (name == "..") {
                if (!result.names.empty()) result.names.pop_back();
                continue;
            }
            result.names.push_back(name);
        }
    }
    *out = result;
    return true;
}

std::string FormatWindowsPath(const WinPath& path) {
    std::string out;
    out += path.drive;
    out += ":\\";
    for (std::size_t i = 0; i < path.names.size(); ++i) {
        if (i) out += '\\';
        out += path.names[i];
    }
    return out;
}

std::string DriveLink(char drive) {
    char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(drive)));
    return State().prefix + "/dosdevices/" + letter + ":";
}

bool DriveExists(char drive) {
    struct stat st;
    return lstat(DriveLink(drive).c_str(), &st) == 0;
}

namespace {

// The host path of the first count names of path; *isExact tells whether it
// is the drive's link followed by those names exactly. A path that exists
// as spelled costs one lstat; only a missing name is looked up by case.
std::string ResolveNames(const WinPath& path, std::size_t count, bool* isExact) {
    *isExact = true;
    if (count == 0) return DriveExists(path.drive) ? DriveLink(path.drive) : std::string();
    std::string exact = DriveLink(path.drive);
    for (std::size_t i = 0; i < count; ++i) exact += "/" + Utf8FromAnsi(path.names[i]);
    struct stat st;
    if (lstat(exact.c_str(), &st) == 0) return exact;
    bool parentExact = false;
    std::string parent = ResolveNames(path, count - 1, &parentExact);
    if (parent.empty()) return parent;
    // Below the exact parent, the exact child is the path just seen missing.
    std::string child = HostChild(parent, path.names[count - 1], parentExact);
    *isExact = child == exact;
    return child;
}

}  // namespace

std::string HostPathOf(const WinPath& path) {
    bool isExact = false;
    return ResolveNames(path, path.names.size(), &isExact);
}

std::string HostPathOf(const std::string& windowsPath) {
    WinPath parsed;
    ParseWindowsPath(windowsPath, &parsed);
    return HostPathOf(parsed);
}

std::string WindowsPathOf(const std::string& hostPath) {
    char real[PATH_MAX];
    if (!realpath(hostPath.c_str(), real)) return std::string();
    std::string target = real;
    std::string best;
    char bestDrive = 0;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        char linkReal[PATH_MAX];
        if (!realpath(DriveLink(letter).c_str(), linkReal)) continue;
        std::string root = linkReal;
        bool inside = target == root || root == "/" ||
                      (target.compare(0, root.size(), root) == 0 && target[root.size()] == '/');
        if (inside && (bestDrive == 0 || root.size() > best.size())) {
            best = root;
            bestDrive = letter;
        }
    }
    if (!bestDrive) return std::string();
    std::string rest = target.substr(best == "/" ? 1 : best.size());
    while (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
    std::replace(rest.begin(), rest.end(), '/', '\\');
    std::string out;
    out += static_cast<char>(std::toupper(static_cast<unsigned char>(bestDrive)));
    out += ":\\";
    return out + AnsiFromUtf8(rest);
}

const WinPath& CurrentDirPath() { return State().currentDir; }
void SetCurrentDirPath(const WinPath& path) { State().currentDir = path; }

}  // namespace plat::posix

namespace plat::backend {

using namespace plat::posix;

std::string CommandLine() { return State().commandLine; }

DWORD TimeMs() {
    if (State().clock) return State().clock();
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

DWORD LogicalDriveStrings(DWORD bufferLength, char* buffer) {
    std::string list;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        struct stat st;
        if (lstat(DriveLink(letter).c_str(), &st) != 0) continue;
        list += static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
        list += ":\\";
        list += '\0';
    }
    DWORD needed = static_cast<DWORD>(list.size()) + 1;
    if (bufferLength < needed) return needed;
    std::memcpy(buffer, list.data(), list.size());
    buffer[list.size()] = '\0';
    return static_cast<DWORD>(list.size());
}

namespace {

const char kUserShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string ProgramFilesFolder() {
    std::string folder;
    if (ReadRegistryText(kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                         &folder) &&
        !folder.empty())
        return folder;
    // A 32-bit program on a 64-bit machine is given the (x86) folder.
    return Is64BitMachine() ? "C:\\Program Files (x86)" : "C:\\Program Files";
}

// The environment a program of the prefix sees, for the folders' %NAME%s.
std::string EnvironmentValue(const std::string& name) {
    std::string upper = UpperCase(name);
    std::string profile = "C:\\users\\" + UserName();
    if (upper == "USERPROFILE") return profile;
    if (upper == "APPDATA") return profile + "\\AppData\\Roaming";
    if (upper == "LOCALAPPDATA") return profile + "\\AppData\\Local";
    if (upper == "PUBLIC") return "C:\\users\\Public";
    if (upper == "ALLUSERSPROFILE" || upper == "PROGRAMDATA") return "C:\\ProgramData";
    if (upper == "SYSTEMDRIVE") return "C:";
    if (upper == "SYSTEMROOT" || upper == "WINDIR") return "C:\\windows";
    if (upper == "PROGRAMFILES") return ProgramFilesFolder();
    return std::string();
}

// ExpandEnvironmentStrings: an unknown %NAME% stays as it is.
std::string ExpandFolder(const std::string& text) {
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t open = text.find('%', pos);
        std::size_t close = open == std::string::npos ? std::string::npos : text.find('%', open + 1);
        if (close == std::string::npos) {
            out += text.substr(pos);
            break;
        }
        out += text.substr(pos, open - pos);
        std::string value = EnvironmentValue(text.substr(open + 1, close - open - 1));
        if (value.empty()) {
            out += text.substr(open, close - open);
            pos = close;
            continue;
        }
        out += value;
        pos = close + 1;
    }
    return out;
}

// The folder as the shell finds it: "User Shell Folders", then "Shell
// Folders", then Wine's default layout.
std::string ShellFolder(RegHandle root, const char* valueName, const std::string& fallback) {
    std::string text;
    if (ReadRegistryText(root, kUserShellFolders, valueName, &text) && !text.empty()) return ExpandFolder(text);
    if (ReadRegistryText(root, kShellFolders, valueName, &text) && !text.empty()) return text;
    return fallback;
}

}  // namespace

HRESULT FolderPath(int csidl, std::string* folder) {
    folder->clear();
    std::string profile = "C:\\users\\" + UserName();
    std::string path;
    switch (csidl) {
        case kCsidlPersonal: path = ShellFolder(kHkeyCurrentUser, "Personal", profile + "\\Documents"); break;
        case kCsidlAppData:
            path = ShellFolder(kHkeyCurrentUser, "AppData", profile + "\\AppData\\Roaming");
            break;
        case kCsidlCommonPrograms:
            path = ShellFolder(kHkeyLocalMachine, "Common Programs",
                               "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs");
            break;
        case kCsidlCommonDesktop:
            path = ShellFolder(kHkeyLocalMachine, "Common Desktop", "C:\\users\\Public\\Desktop");
            break;
        case kCsidlProgramFiles: path = ProgramFilesFolder(); break;
        default: return static_cast<HRESULT>(0x80070057u);  // E_INVALIDARG
    }
    // As under Wine, a known folder where nothing stands cannot be queried;
    // where something stands, a file too, the query answers its path.
    std::string host = HostPathOf(path);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0) return static_cast<HRESULT>(0x80070002u);
    *folder = path;
    return 0;
}

intptr_t ShellOpen(const std::string& file) {
    // The simulator is a Windows program: start it through Wine, in the same
    // prefix, detached from the installer.
    std::string wine;
    if (const char* pathEnv = std::getenv("PATH")) {
        std::string paths = pathEnv;
        std::size_t start = 0;
        while (start <= paths.size()) {
            std::size_t end = paths.find(':', start);
            if (end == std::string::npos) end = paths.size();
            std::string candidate = paths.substr(start, end - start) + "/wine";
            if (end > start && access(candidate.c_str(), X_OK) == 0) {
                wine = candidate;
                break;
            }
            start = end + 1;
        }
    }
    if (wine.empty() && access("/usr/lib/wine/wine", X_OK) == 0) wine = "/usr/lib/wine/wine";
    if (wine.empty()) return 2;
    pid_t child = fork();
    if (child < 0) return 8;
    if (child == 0) {
        setsid();
        if (fork() != 0) _exit(0);
        setenv("WINEPREFIX", State().prefix.c_str(), 1);
        std::string target = file;
        char* argv[] = {const_cast<char*>(wine.c_str()), const_cast<char*>(target.c_str()), nullptr};
        execv(wine.c_str(), argv);
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return 42;
}

}  // namespace plat::backend
