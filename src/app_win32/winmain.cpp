// AerovinPatchwell.exe: the installer's Windows program. It parses no
// option; the installer state finds its folder from the command line.
#include "core/installer_state.h"
#include "platform/ui/win32/win32_backend.h"

#include <windows.h>
#include <commctrl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    afx::SetUiBackend(&afx::Win32UiBackend());
    // As the framework's entry does: a false InitInstance ends the program
    // without a message loop of its own.
    afx::CWinApp& app = theApp;
    app.InitInstance();
    return 0;
}
