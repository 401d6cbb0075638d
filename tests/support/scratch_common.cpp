#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/owned_folders.h"
#include "platform/platform.h"
#include "support/scratch_machine.h"

namespace fs = std::filesystem;

void ScratchMachine::MakeFolder(const std::string& windowsPath) const {
    fs::create_directories(HostPath(windowsPath));
}

void ScratchMachine::WriteFile(const std::string& windowsPath, const std::string& bytes) const {
    fs::path host = HostPath(windowsPath);
    fs::create_directories(host.parent_path());
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ScratchMachine::ReadFile(const std::string& windowsPath) const {
    std::ifstream in(HostPath(windowsPath), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool ScratchMachine::Exists(const std::string& windowsPath) const {
    std::error_code error;
    return fs::exists(fs::symlink_status(HostPath(windowsPath), error));
}

CurrentDirRestorer::CurrentDirRestorer() : saved(plat::CurrentDir()) {}
CurrentDirRestorer::~CurrentDirRestorer() { plat::ChangeDir(saved); }

void ScopedOwnedFolder::Own(const std::string& folder) {
    owned = folder;
    std::vector<std::string> extras = ExtraOwnedFolders();
    extras.push_back(folder);
    SetExtraOwnedFolders(extras);
}

ScopedOwnedFolder::~ScopedOwnedFolder() {
    if (owned.empty()) return;
    std::vector<std::string> extras = ExtraOwnedFolders();
    for (auto it = extras.begin(); it != extras.end(); ++it) {
        if (*it == owned) {
            extras.erase(it);
            break;
        }
    }
    SetExtraOwnedFolders(extras);
}
