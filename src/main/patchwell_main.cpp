// patchwell: the installer's native program, run against a Wine prefix.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "main/native_options.h"
#include "platform/posix/machine.h"

namespace {

// The folder of this program, where its packages lie unless told otherwise.
std::string ProgramFolder() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return ".";
    std::string path(buffer, static_cast<std::size_t>(n));
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "patchwell: %s\n", message.c_str());
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    NativeOptions options;
    CLI::App app{
        "Patchwell updates an installation of Aerovin R/C in a Wine prefix with the update packages\n"
        "(*.pkg) of a folder, as the Windows installer does. Every step goes to the log\n"
        "AerovinPatchwell.log in the prefix user's Documents folder.\n\n"
        "Exit status: 0 complete, 1 the update failed (the reason on stderr), 2 usage or\n"
        "prefix error, 3 left before the end."};
    app.add_option("--prefix", options.prefix, "the Wine prefix (default: $WINEPREFIX, else ~/.wine)");
    app.add_option("--update-folder", options.updateFolder,
                   "the folder holding the packages (default: the folder of this program)");
    app.add_flag("--unattended", options.unattended,
                 "no screen: Start, Continue with the boxes ticked, Finished without starting the simulator");
    app.add_flag("--no-start-menu-shortcuts", options.noStartMenuShortcuts, "untick \"Create start-menu shortcut\"");
    app.add_flag("--no-desktop-shortcuts", options.noDesktopShortcuts, "untick \"Create desktop shortcut\"");
    app.add_flag("--no-backup", options.noBackup, "untick \"Back-up previous settings, variants and recordings\"");
    app.set_version_flag("--version", "patchwell 5.0");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        int code = app.exit(error);
        return code == 0 ? 0 : kExitUsage;
    }

    std::string problem;
    if (!plat::posix::UseMachine(options.prefix, &problem)) return Fail(problem);
    if (!MachineIsFree(&problem)) return Fail(problem);

    std::string folder = options.updateFolder.empty() ? ProgramFolder() : options.updateFolder;
    std::string windowsFolder = plat::posix::WindowsPathOf(folder);
    if (windowsFolder.empty()) return Fail("no drive of the prefix reaches the update folder: " + folder);
    if (windowsFolder.size() > 3 && windowsFolder.back() == '\\') windowsFolder.pop_back();
    std::string separator = windowsFolder.back() == '\\' ? "" : "\\";
    plat::posix::SetCommandLine("\"" + windowsFolder + separator + "patchwell.exe\"");

    return options.unattended ? RunUnattended(options) : RunTerminalWizard(options);
}
