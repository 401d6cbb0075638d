// The wizard in the terminal the program runs in.
#include <cstdio>

#include "core/installer_state.h"
#include "core/step_machine.h"
#include "main/native_options.h"
#include "platform/posix/codepage.h"
#include "platform/ui/posix/terminal_backend.h"

int RunTerminalWizard(const NativeOptions&) {
    afx::TerminalBackend terminal;
    if (!terminal.Start()) {
        std::fprintf(stderr, "patchwell: no terminal to show the wizard in; use --unattended\n");
        return kExitUsage;
    }
    {
        afx::ScopedUiBackend use(&terminal);
        theApp.InitInstance();
    }
    terminal.Stop();

    if (theApp.currentStep == stepComplete) return kExitComplete;
    if (theApp.currentStep == stepFailed) {
        std::fprintf(stderr, "patchwell: the update failed: %s\n",
                     plat::posix::Utf8FromAnsi(theApp.failureReason).c_str());
        return kExitFailed;
    }
    return kExitLeft;
}
