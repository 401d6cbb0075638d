#include "app_win32/windows_options.h"

#include <cctype>

namespace {

// The option's name without its "/", "-" or "--", in lower case; empty for
// a text that is no option.
std::string OptionName(const std::string& argument) {
    std::string name;
    if (argument.rfind("--", 0) == 0) name = argument.substr(2);
    else if (!argument.empty() && (argument[0] == '/' || argument[0] == '-')) name = argument.substr(1);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

}  // namespace

bool ParseWindowsOptions(const std::vector<std::string>& arguments, WindowsOptions* options, std::string* problem) {
    *options = WindowsOptions();
    problem->clear();
    bool known = true;
    for (const std::string& argument : arguments) {
        std::string name = OptionName(argument);
        if (name == "?" || name == "h" || name == "help") {
            options->help = true;
        } else if (name == "unattended") {
            options->unattended = true;
        } else if (name == "no-start-menu-shortcuts") {
            options->choices.startMenuShortcuts = false;
        } else if (name == "no-desktop-shortcuts") {
            options->choices.desktopShortcuts = false;
        } else if (name == "no-backup") {
            options->choices.backup = false;
        } else if (known) {
            // The first unknown one is told; the others are still read, so
            // that the caller knows whether it runs unattended.
            *problem = argument;
            known = false;
        }
    }
    return known;
}

std::string WindowsOptionsHelp() {
    return "Aerovin V5 Patchwell updates an installation of Aerovin R/C with the update packages (*.pkg) lying "
           "beside it.\n\n"
           "AerovinPatchwell.exe [/unattended [/no-start-menu-shortcuts] [/no-desktop-shortcuts] [/no-backup]]\n\n"
           "Without an option the wizard leads the user through the update.\n\n"
           "/unattended\tno window: the wizard's pages are answered as a user who accepts every default "
           "(Start, Continue with every box ticked, Finished without starting the simulator)\n"
           "/no-start-menu-shortcuts\twith /unattended: no Start-menu shortcuts\n"
           "/no-desktop-shortcuts\twith /unattended: no desktop shortcuts\n"
           "/no-backup\twith /unattended: no backup of the previous settings\n"
           "/?\tthis help\n\n"
           "Exit status: 0 complete, 1 the update failed, 2 unknown option, 3 left before the end.\n"
           "Every step goes to AerovinPatchwell.log in the Documents folder.";
}
