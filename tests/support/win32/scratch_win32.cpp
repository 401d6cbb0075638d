#include <windows.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/platform.h"
#include "support/scratch_machine.h"

namespace fs = std::filesystem;

ScratchMachine::ScratchMachine() : ScratchMachine(Options{}) {}

ScratchMachine::ScratchMachine(const Options& options) {
    static int counter = 0;
    root = "C:\\pwtest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    fs::remove_all(root);
    if (!CreateDirectoryA(root.c_str(), nullptr)) throw std::runtime_error("cannot make " + root);
    if (options.ownRoot) ownedRoot.Own(root);
}

ScratchMachine::~ScratchMachine() {
    SetCurrentDirectoryA("C:\\");
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); it != fs::recursive_directory_iterator();
         it.increment(error))
        SetFileAttributesA(it->path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(root, error);
}

std::string ScratchMachine::HostPath(const std::string& windowsPath) const { return windowsPath; }
