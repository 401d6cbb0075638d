#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/posix/machine.h"
#include "support/scratch_machine.h"

namespace fs = std::filesystem;

ScratchMachine::ScratchMachine() : ScratchMachine(Options{}) {}

ScratchMachine::ScratchMachine(const Options& options) {
    std::string pattern = (fs::temp_directory_path() / "pwprefix-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    prefix = pattern;
    fs::create_directories(prefix + "/dosdevices");
    fs::create_directory_symlink("../drive_c", prefix + "/dosdevices/c:");
    if (options.extraDriveD) {
        fs::create_directories(prefix + "/drive_d");
        fs::create_directory_symlink("../drive_d", prefix + "/dosdevices/d:");
    }
    std::string user = std::getenv("USER") ? std::getenv("USER") : "user";
    if (user.empty()) user = "user";
    setenv("USER", user.c_str(), 1);
    std::string c = prefix + "/drive_c";
    for (const char* folder : {"windows/system32", "Program Files", "ProgramData/Microsoft/Windows/Start Menu/Programs",
                               "users/Public/Desktop"})
        fs::create_directories(c + "/" + folder);
    fs::create_directories(c + "/users/" + user + "/Documents");
    fs::create_directories(c + "/users/" + user + "/AppData/Roaming");
    if (options.win64) {
        fs::create_directories(c + "/Program Files (x86)");
        fs::create_directories(c + "/windows/syswow64");
    }
    std::ofstream reg(prefix + "/system.reg");
    reg << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch="
        << (options.win64 ? "win64" : "win32") << "\n\n";
    reg.close();
    std::string error;
    if (!plat::posix::UseMachine(prefix, &error)) throw std::runtime_error(error);
    plat::posix::SetCommandLine("\"C:\\Update\\patchwell.exe\"");
    root = "C:\\scratch";
    fs::create_directories(c + "/scratch");
    if (options.ownRoot) ownedRoot.Own(root);
}

ScratchMachine::~ScratchMachine() {
    std::error_code error;
    // Read-only files and folders without write bits must not stop the clean-up.
    for (auto it = fs::recursive_directory_iterator(prefix, fs::directory_options::none, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
    fs::remove_all(prefix, error);
}

std::string ScratchMachine::HostPath(const std::string& windowsPath) const {
    return plat::posix::HostPathOf(windowsPath);
}
