// AerovinPatchwell.exe: the installer's Windows program. Without an option it
// shows the wizard; with /unattended it runs the wizard without a window,
// answering the pages as the native program's --unattended does, and ends
// with the same exit statuses. The installer state finds its folder from the
// command line's first argument, the program's own path.
#include "app_win32/dll_search.h"
#include "app_win32/windows_options.h"
#include "core/installer_state.h"
#include "platform/platform.h"
#include "platform/ui/headless_backend.h"
#include "platform/ui/win32/win32_backend.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr char kTitle[] = "Aerovin V5 Patchwell";

// The arguments after the program's path, in the system's code page.
std::vector<std::string> Arguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return arguments;
    for (int i = 1; i < count; ++i) {
        int n = WideCharToMultiByte(CP_ACP, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string narrow(n > 0 ? static_cast<std::size_t>(n) : 1, '\0');
        if (n > 0) WideCharToMultiByte(CP_ACP, 0, wide[i], -1, narrow.data(), n, nullptr, nullptr);
        narrow.resize(narrow.size() - 1);
        arguments.push_back(narrow);
    }
    LocalFree(wide);
    return arguments;
}

int RunWizard() {
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    afx::SetUiBackend(&afx::Win32UiBackend());
    // As the framework's entry does: a false InitInstance ends the program
    // without a message loop of its own.
    afx::CWinApp& app = theApp;
    app.InitInstance();
    return 0;
}

// No window: the headless backend, played by the unattended driver. The
// reason of a failure goes to the standard error, where a script that
// redirected it finds it.
int RunUnattended(const UnattendedChoices& choices) {
    afx::HeadlessBackend ui;
    {
        afx::ScopedUiBackend use(&ui);
        ui.SetDriver(UnattendedDriver(choices));
        afx::CWinApp& app = theApp;
        app.InitInstance();
        ui.SetDriver(nullptr);
    }
    plat::FlushLog();
    int status = UnattendedExitStatus();
    if (status == kExitFailed)
        std::fprintf(stderr, "AerovinPatchwell: %s\n", theApp.failureReason.c_str());
    else if (status == kExitLeft)
        std::fprintf(stderr, "AerovinPatchwell: the wizard stopped before the end\n");
    std::fflush(stderr);
    return status;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    WindowsOptions options;
    std::string problem;
    if (!ParseWindowsOptions(Arguments(), &options, &problem)) {
        // A script gets its status without a box waiting for a click.
        if (!options.unattended)
            MessageBoxA(nullptr, ("Unknown option: " + problem + "\n\n" + WindowsOptionsHelp()).c_str(), kTitle,
                        MB_OK | MB_ICONERROR);
        return kExitUsage;
    }
    if (options.help) {
        MessageBoxA(nullptr, WindowsOptionsHelp().c_str(), kTitle, MB_OK | MB_ICONINFORMATION);
        return kExitComplete;
    }
    return options.unattended ? RunUnattended(options.choices) : RunWizard();
}
