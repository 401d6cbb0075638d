// The Windows program's command line. Started as the wizard with no option;
// administrators run it silently:
//   AerovinPatchwell.exe /unattended [/no-start-menu-shortcuts]
//                        [/no-desktop-shortcuts] [/no-backup]
//   AerovinPatchwell.exe /?
// Options are taken with "/", "-" or "--" before them, in any case. The
// program's own path stays the first argument: start-up finds the packages'
// folder from it, whatever follows.
#pragma once

#include <string>
#include <vector>

#include "main/unattended_answers.h"

struct WindowsOptions {
    bool help = false;
    bool unattended = false;
    UnattendedChoices choices;
};

// The arguments after the program's path. False, with the first offending
// argument in problem, when one is unknown; the others are read all the same.
bool ParseWindowsOptions(const std::vector<std::string>& arguments, WindowsOptions* options, std::string* problem);

// What the help message box says.
std::string WindowsOptionsHelp();
