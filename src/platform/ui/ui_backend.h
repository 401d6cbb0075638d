// What draws the dialogs and delivers input, timers and message boxes. The
// framework (afx.h) keeps every window's state and routes its messages; the
// backend is told of each change and owns the message loops. There is one
// backend at a time:
//   - headless (headless_backend.h): a virtual clock and scripted input, for
//     the tests and for the unattended run;
//   - a terminal backend draws the state (WindowChanged) from the dialog
//     templates and turns keys into clicks (afx::CWnd::SendMessage with
//     BM_CLICK, WM_COMMAND IDOK/IDCANCEL, WM_CLOSE);
//   - a Win32 backend mirrors each window onto a real one (DialogCreated,
//     WindowChanged, WindowDestroyed) and runs the system's loops.
#pragma once

#include <string>

#include "platform/ui/afx.h"

namespace afx {

class UiBackend {
public:
    virtual ~UiBackend() = default;
    // A dialog's window and its controls have been made from its template
    // (before OnInitDialog runs). The backend places it on the screen: it
    // sets the state's x, y, width, height, clientX and clientY.
    virtual void DialogCreated(CDialogEx& /*dialog*/) {}
    // A window's state changed; with drawNow (RDW_UPDATENOW) it must be drawn at once.
    virtual void WindowChanged(CWnd& /*window*/, bool /*drawNow*/) {}
    // A message was sent to a window (before the window handles it).
    virtual void MessageSent(CWnd& /*window*/, UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {}
    // A window is destroyed: its timers go with it.
    virtual void WindowDestroyed(CWnd& /*window*/) {}
    // Runs the dialog's message loop until dialog.ModalEnded() or the quit
    // message. Returns the dialog's result, or -1 when the quit message ended it
    // (the quit stays posted, so every enclosing loop ends too).
    virtual INT_PTR RunModal(CDialogEx& dialog) = 0;
    // EndDialog was called on a dialog (modal or not).
    virtual void EndModal(CDialogEx& /*dialog*/) {}
    // A message box with its own loop, which goes on delivering timers.
    virtual int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) = 0;
    virtual void PostQuit(int exitCode) = 0;
    // SetTimer: a window's timer is replaced when its id is set again; without
    // a window a fresh id is returned. 0 on failure.
    virtual UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT elapse, TIMERPROC callback) = 0;
    virtual BOOL KillTimer(HWND window, UINT_PTR timerId) = 0;
    // The icon resource with that id; any handle that SetIcon can carry.
    virtual HICON LoadIcon(UINT iconId) { return reinterpret_cast<HICON>(static_cast<UINT_PTR>(iconId)); }
    // Paints icon centred in the client area of a minimised window.
    virtual void PaintIcon(CWnd& /*window*/, HICON /*icon*/) {}
    // Clears the progress of window's taskbar button; false when there is no
    // taskbar interface.
    virtual bool ClearTaskbarProgress(HWND /*window*/) { return false; }
};

// The backend in use; a do-nothing one until a program or a test sets one.
UiBackend& CurrentUiBackend();
void SetUiBackend(UiBackend* backend);

// Uses backend while it lives, then goes back to the one before.
class ScopedUiBackend {
public:
    explicit ScopedUiBackend(UiBackend* backend) : previous(&CurrentUiBackend()) { SetUiBackend(backend); }
    ~ScopedUiBackend() { SetUiBackend(previous); }
    ScopedUiBackend(const ScopedUiBackend&) = delete;
    ScopedUiBackend& operator=(const ScopedUiBackend&) = delete;

private:
    UiBackend* previous;
};

}  // namespace afx
