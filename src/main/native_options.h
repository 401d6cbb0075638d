// The native program's options and the ways it runs the wizard.
#pragma once

#include <string>

#include "main/unattended_answers.h"

struct NativeOptions {
    std::string prefix;
    std::string updateFolder;
    bool unattended = false;
    bool noStartMenuShortcuts = false;
    bool noDesktopShortcuts = false;
    bool noBackup = false;
};

// False, with a one-line reason, while Wine itself has the prefix open.
bool MachineIsFree(std::string* problem);
// The wizard on the headless backend with the default answers.
int RunUnattended(const NativeOptions& options);
// The wizard in the terminal.
int RunTerminalWizard(const NativeOptions& options);
