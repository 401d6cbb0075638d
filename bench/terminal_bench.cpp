// The terminal's share of an installation: applies one package with the
// installing page's progress bar and status line on the terminal backend
// (each forced repaint drawn, at most about 30 a second), or with no page at
// all, and prints the time taken. Run it in a terminal (the script uses tmux).
//
//   terminal_bench <package> <prefix> screen|none
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/installer_state.h"
#include "packages/package_install.h"
#include "platform/posix/machine.h"
#include "platform/ui/posix/terminal_backend.h"
#include "ui/dialog_layouts.h"
#include "ui/resource_ids.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: terminal_bench <package> <prefix> screen|none\n");
        return 2;
    }
    bool screen = std::strcmp(argv[3], "screen") == 0;
    fs::path prefix = argv[2];
    fs::create_directories(prefix / "drive_c" / "Game");
    fs::create_directories(prefix / "dosdevices");
    fs::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
    fs::create_directory_symlink("/", prefix / "dosdevices" / "z:");
    std::string error;
    if (!plat::posix::UseMachine(prefix.string(), &error)) return 1;
    plat::OpenLog((prefix / "drive_c" / "install.log").string());
    theApp.installFolder = "C:\\Game";
    Package record;
    record.path = plat::posix::WindowsPathOf(fs::absolute(argv[1]).string());
    record.name = record.path;

    afx::TerminalBackend terminal;
    afx::ScopedUiBackend use(&terminal);
    RegisterDialogLayouts();
    afx::CDialogEx host(IDD_PATCHWELL_DIALOG);
    afx::CDialogEx page(IDD_STEP_INSTALLING, &host);
    if (screen) {
        if (!terminal.Start()) return 1;
        host.Create(IDD_PATCHWELL_DIALOG, nullptr);
        host.ShowWindow(afx::SW_SHOW);
        page.Create(IDD_STEP_INSTALLING, &host);
        page.ShowWindow(afx::SW_SHOW);
        theApp.progressBar = static_cast<afx::CProgressCtrl*>(page.GetDlgItem(1008));
        theApp.statusText = static_cast<afx::CStatic*>(page.GetDlgItem(1006));
    }
    auto start = std::chrono::steady_clock::now();
    InstallPackage(theApp, &record);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    terminal.Stop();
    theApp.progressBar = nullptr;
    theApp.statusText = nullptr;
    plat::FlushLog();
    std::fprintf(stderr, "apply_seconds %.3f drawn %lu skipped %lu\n", seconds, terminal.RepaintsDrawn(),
                 terminal.RepaintsSkipped());
    return 0;
}
