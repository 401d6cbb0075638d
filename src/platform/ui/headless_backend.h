// The headless backend: no screen, a virtual clock and scripted input. The
// tests drive the wizard with it, and so does the unattended run, through a
// driver that presses the buttons a user would.
//
// Time. The clock is virtual and starts at 0 ms. A loop (a modal dialog's,
// a message box's, or RunFor) jumps the clock to the next due event: a timer,
// a scripted action, a scripted answer to a message box. Nothing else moves
// it, so a timer callback takes no time however long its work. Each timer
// fires at most once per turn of the loop, the earliest due first (ties in
// the order the timers were set), and is due again its interval after it
// fired. Timers due at the same instant as a scripted action fire first.
//
// Input. Scripted actions (clicks, close, Enter, Escape) are performed by the
// loop when their time comes; while a message box is open they wait, as the
// windows behind a box take no input. A message box takes the next scripted
// answer, given after its delay of virtual time, with every timer firing
// meanwhile. Without a scripted answer the driver may answer it. When the
// loop has nothing due now, it calls the driver before moving the clock on.
//
// Limits. A loop that passes the time limit (virtual; 30 minutes unless set)
// or has nothing left to wait for gives up: the modal loop returns -1 and
// the message box 0, and TimedOut() or Stalled() tells which.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/ui_backend.h"

namespace afx {

class HeadlessBackend : public UiBackend {
public:
    struct MessageBoxRecord {
        HWND owner = nullptr;
        std::string text;
        std::string caption;
        UINT flags = 0;
        DWORD openedAt = 0;
        DWORD closedAt = 0;
        int answer = 0;      // 0 while open
        bool open = false;
    };
    struct TimerRecord {
        HWND window = nullptr;
        UINT_PTR id = 0;
        UINT elapse = 0;
        TIMERPROC callback = nullptr;
        DWORD due = 0;
    };
    struct SentMessage {
        HWND window = nullptr;
        int controlId = 0;
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };
    using Driver = std::function<void(HeadlessBackend&)>;

    // The screen the dialogs are placed on, and the frame of a captioned window.
    static constexpr int kScreenWidth = 1280;
    static constexpr int kScreenHeight = 800;
    static constexpr int kFrameWidth = 8;     // left, right and bottom border
    static constexpr int kCaptionHeight = 31; // caption and top border
    // Dialog base units of the templates' font (Arial 10 points).
    static constexpr int kBaseUnitX = 6;
    static constexpr int kBaseUnitY = 13;

    HeadlessBackend();
    ~HeadlessBackend() override;
    HeadlessBackend(const HeadlessBackend&) = delete;
    HeadlessBackend& operator=(const HeadlessBackend&) = delete;

    // ---- The clock ----
    DWORD Now() const { return now; }
    // The clock of the headless backend in use (0 when none is): a
    // replacement for the system's millisecond clock.
    static DWORD ActiveClock();
    // The virtual time (absolute) at which a loop gives up.
    void SetTimeLimit(DWORD limitMs) { timeLimit = limitMs; }
    bool TimedOut() const { return timedOut; }
    bool Stalled() const { return stalled; }
    // Outside a modal loop: lets ms of virtual time pass, firing the timers
    // and performing the scripted actions that fall due (the driver too).
    void RunFor(DWORD ms);

    // ---- Scripted input, performed by the loop delayMs from now ----
    void PressEnterAfter(DWORD delayMs);
    // The next message box to open is answered delayMs after it opened.
    void AnswerNextMessageBox(int answer, DWORD delayMs = 0);
    // Called whenever the loop has nothing due now (nullptr: none).
    void SetDriver(Driver newDriver) { driver = std::move(newDriver); }

    // ---- Immediate input, for tests and drivers; false when not possible ----
    // Clicks the control (BM_CLICK) on the topmost shown dialog that has it;
    // not when it or its dialog is hidden or disabled, or a box is open.
    bool Click(int controlId);
    bool Click(CWnd& dialog, int controlId);
    // WM_CLOSE to the main dialog (the close button).
    bool Close();
    // Enter and Escape on the topmost shown dialog (WM_COMMAND IDOK / IDCANCEL).
    bool PressEnter();
    bool PressEscape();
    // Answers the innermost open message box.
    bool AnswerMessageBox(int answer);
    // The user drags the main dialog by dx, dy: WM_MOVING with the
    // proposed rectangle, then the move.
    bool Drag(int dx, int dy);
    // The window is repainted (WM_PAINT).
    void Paint(CWnd& window);
    void Minimise(CWnd& window, bool minimised);

    // ---- What tests read ----
    // The topmost shown dialog (the last created that is visible), the
    // innermost modal dialog; nullptr when there is none.
    CDialogEx* TopDialog() const;
    CDialogEx* ModalDialog() const;
    // The innermost modal dialog, else the first shown dialog without a parent.
    CDialogEx* MainDialog() const;
    // A control of the topmost shown dialog that has it.
    CWnd* Control(int controlId) const;
    const std::vector<MessageBoxRecord>& MessageBoxes() const { return boxes; }
    const MessageBoxRecord* OpenMessageBox() const;
    bool QuitPosted() const { return quitPosted; }
    int QuitCode() const { return quitCode; }
    void ClearQuit() { quitPosted = false; }
    const std::vector<TimerRecord>& Timers() const { return timers; }
    const TimerRecord* FindTimer(HWND window, UINT_PTR id) const;
    int TaskbarProgressClears() const { return taskbarClears; }
    // Every message sent to a window, in order.
    const std::vector<SentMessage>& SentMessages() const { return sent; }
    void ClearSentMessages() { sent.clear(); }

    // ---- UiBackend ----
    void DialogCreated(CDialogEx& dialog) override;
    void MessageSent(CWnd& window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void WindowDestroyed(CWnd& window) override;
    INT_PTR RunModal(CDialogEx& dialog) override;
    int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) override;
    void PostQuit(int exitCode) override;
    UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT elapse, TIMERPROC callback) override;
    BOOL KillTimer(HWND window, UINT_PTR timerId) override;
    bool ClearTaskbarProgress(HWND window) override;

private:
    enum class ActionKind { kEnter };
    struct Action {
        DWORD due = 0;
        unsigned sequence = 0;
        ActionKind kind = ActionKind::kEnter;
        int controlId = 0;
    };
    struct Answer {
        int answer = 0;
        DWORD delay = 0;
    };
    struct OpenBox {
        std::size_t record = 0;
        bool scripted = false;
        DWORD due = 0;
        int answer = 0;
    };

    void Schedule(DWORD delayMs, ActionKind kind, int controlId);
    // Runs until done() holds, the quit is posted, the deadline passes or
    // the loop gives up.
    void Loop(const std::function<bool()>& done, bool toDeadline, DWORD deadline);
    bool PerformDueInput();
    void Perform(const Action& action);
    bool FireDueTimer();
    bool NextEvent(DWORD* when) const;
    bool InputBlocked() const { return !openBoxes.empty(); }

    DWORD now = 0;
    DWORD timeLimit = 30 * 60 * 1000;
    bool timedOut = false;
    bool stalled = false;
    bool quitPosted = false;
    int quitCode = 0;
    bool inDriver = false;
    unsigned sequence = 0;
    unsigned long inputsPerformed = 0;
    UINT_PTR nextThreadTimerId = 0x7FFF0000;
    int taskbarClears = 0;
    Driver driver;
    std::vector<Action> actions;
    std::deque<Answer> answers;
    std::vector<MessageBoxRecord> boxes;
    std::vector<OpenBox> openBoxes;
    std::vector<TimerRecord> timers;
    std::vector<unsigned> timerOrder;  // set order of timers, parallel to timers
    std::vector<CWnd*> dialogs;  // CDialogEx objects, held as windows: one may be half destroyed
    std::vector<CDialogEx*> modalStack;
    std::vector<SentMessage> sent;
};

}  // namespace afx
