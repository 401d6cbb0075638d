// What draws the dialogs and delivers input, timers and message boxes. The
// framework (afx.h) keeps every window's state and calls its backend; there
// is one backend at a time.
#pragma once

#include <string>

#include "platform/ui/afx.h"

namespace afx {

class UiBackend {
public:
    virtual ~UiBackend() = default;
    // A dialog's window has been made (before OnInitDialog runs).
    virtual void DialogCreated(CDialogEx& /*dialog*/) {}
    // A window's state changed; with RDW_UPDATENOW it must be drawn at once.
    virtual void WindowChanged(CWnd& /*window*/, bool /*drawNow*/) {}
    // Runs the dialog's message loop until EndDialog or the quit message.
    virtual INT_PTR RunModal(CDialogEx& dialog) = 0;
    virtual void EndModal(CDialogEx& /*dialog*/) {}
    // A message box with its own loop, which goes on delivering timers.
    virtual int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) = 0;
    virtual void PostQuit(int exitCode) = 0;
    virtual UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT elapse, TIMERPROC callback) = 0;
    virtual BOOL KillTimer(HWND window, UINT_PTR timerId) = 0;
};

// The backend in use; a do-nothing one until a program or a test sets one.
UiBackend& CurrentUiBackend();
void SetUiBackend(UiBackend* backend);

}  // namespace afx
