// The unattended run: the wizard on the headless backend, answered as a user
// who accepts every default would answer it.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "core/installer_state.h"
#include "core/step_machine.h"
#include "main/native_options.h"
#include "platform/platform.h"
#include "platform/posix/machine.h"
#include "platform/ui/headless_backend.h"
#include "ui/resource_ids.h"

// Wine writes its own copy of the registry over ours when its server exits.
bool MachineIsFree(std::string* problem) { return !plat::posix::PrefixInUse(problem); }

namespace {

// The headless backend, showing one line of progress on a terminal: the
// installing page's status line and the bar's position.
class UnattendedBackend : public afx::HeadlessBackend {
public:
    explicit UnattendedBackend(bool showProgress) : showProgress(showProgress) {}
    ~UnattendedBackend() override {
        if (shown) std::fprintf(stderr, "\r\033[K");
    }

    void WindowChanged(afx::CWnd& window, bool drawNow) override {
        afx::HeadlessBackend::WindowChanged(window, drawNow);
        if (!showProgress || !drawNow) return;
        int id = window.GetDlgCtrlID();
        if (id != IDC_PROGRESS_BAR && id != IDC_STATUS_LINE) return;
        auto now = std::chrono::steady_clock::now();
        if (shown && now - lastShown < std::chrono::milliseconds(100)) return;
        lastShown = now;
        shown = true;
        std::string status = theApp.statusText ? theApp.statusText->GetWindowText() : "Searching...";
        int position = theApp.progressBar ? theApp.progressBar->GetPos() : window.State().position;
        if (position > 100) position = 100;
        std::string line = plat::posix::Utf8FromAnsi(status);
        if (line.size() > 60) line = "..." + line.substr(line.size() - 57);
        std::fprintf(stderr, "\r\033[K[%3d%%] %s", position, line.c_str());
        std::fflush(stderr);
    }

private:
    bool showProgress;
    bool shown = false;
    std::chrono::steady_clock::time_point lastShown;
};

}  // namespace

int RunUnattended(const NativeOptions& options) {
    UnattendedBackend ui(isatty(STDERR_FILENO) != 0);
    afx::SetUiBackend(&ui);
    UnattendedChoices choices;
    choices.startMenuShortcuts = !options.noStartMenuShortcuts;
    choices.desktopShortcuts = !options.noDesktopShortcuts;
    choices.backup = !options.noBackup;
    ui.SetDriver(UnattendedDriver(choices));
    theApp.InitInstance();
    afx::SetUiBackend(nullptr);
    plat::FlushLog();

    int status = UnattendedExitStatus();
    if (status == kExitFailed)
        std::fprintf(stderr, "patchwell: %s\n", plat::posix::Utf8FromAnsi(theApp.failureReason).c_str());
    else if (status == kExitLeft && (ui.TimedOut() || ui.Stalled()))
        std::fprintf(stderr, "patchwell: the wizard stopped before the end\n");
    return status;
}
