// The terminal backend: the wizard drawn with ncurses in the terminal the
// program runs in, answering keys and mouse clicks as a Windows dialog does.
//
//   Tab, Shift-Tab   move among the page's push buttons and check boxes
//   Space            presses the focused button or turns the focused box over
//   Enter            presses the focused button (else the page's OnOK)
//   Escape           the page's OnCancel
//   Ctrl-C           the host's close request (WM_CLOSE)
//   mouse            presses what it clicks, where the terminal reports clicks
//
// Timers run on the real clock. A timer callback may block for long (the
// search, the installation); the screen then changes only through forced
// repaints (RDW_UPDATENOW), which are drawn at once but at most about 30
// times a second, so the screen costs the work little.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "platform/ui/posix/terminal_screen.h"
#include "platform/ui/ui_backend.h"

namespace afx {

class TerminalBackend : public UiBackend {
public:
    // The shortest time between two forced repaints.
    static constexpr int kMinRepaintMs = 33;

    TerminalBackend();
    ~TerminalBackend() override;
    TerminalBackend(const TerminalBackend&) = delete;
    TerminalBackend& operator=(const TerminalBackend&) = delete;

    // Takes over the terminal; false when there is none (not a tty).
    bool Start();
    // Gives the terminal back as it was.
    void Stop();
    // Forced repaints drawn and skipped (for the screen's cost).
    unsigned long RepaintsDrawn() const { return drawn; }
    unsigned long RepaintsSkipped() const { return skipped; }

    void DialogCreated(CDialogEx& dialog) override;
    void WindowChanged(CWnd& window, bool drawNow) override;
    void WindowDestroyed(CWnd& window) override;
    INT_PTR RunModal(CDialogEx& dialog) override;
    int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) override;
    void PostQuit(int exitCode) override;
    UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT elapse, TIMERPROC callback) override;
    BOOL KillTimer(HWND window, UINT_PTR timerId) override;

private:
    using Clock = std::chrono::steady_clock;
    struct Timer {
        HWND window = nullptr;
        UINT_PTR id = 0;
        UINT elapse = 0;
        TIMERPROC callback = nullptr;
        Clock::time_point due;
    };
    struct Box {
        BoxView view;
        int answer = 0;
    };

    template <class Done>
    void Loop(Done done);
    bool FireDueTimer();
    void WaitForInput(Clock::time_point until);
    void HandleKey(int key);
    void HandleMouse();
    void HandleBoxKey(Box& box, int key);
    void MoveFocus(int step);
    void Press(CWnd* control);
    void Draw();
    CDialogEx* Host() const;
    CDialogEx* Page() const;
    CWnd* Focus();

    bool started = false;
    bool quit = false;
    bool dirty = true;
    unsigned long drawn = 0;
    unsigned long skipped = 0;
    Clock::time_point lastDraw;
    UINT_PTR nextThreadTimerId = 0x7FFF0000;
    std::vector<Timer> timers;
    std::vector<CWnd*> dialogs;            // in creation order
    std::map<const CWnd*, CWnd*> focus;    // the focused control of each page
    std::vector<Box*> boxes;               // open message boxes, innermost last
    std::vector<HitRegion> hits;
};

}  // namespace afx
