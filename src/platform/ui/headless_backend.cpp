#include "platform/ui/headless_backend.h"

#include <algorithm>

namespace afx {
namespace {

bool Shown(const CWnd& window) { return window.State().visible && !window.State().destroyed; }

}  // namespace

HeadlessBackend::HeadlessBackend() = default;

HeadlessBackend::~HeadlessBackend() {
    if (&CurrentUiBackend() == this) SetUiBackend(nullptr);
}

DWORD HeadlessBackend::ActiveClock() {
    auto* headless = dynamic_cast<HeadlessBackend*>(&CurrentUiBackend());
    return headless ? headless->Now() : 0;
}

// ---- Scripted input ----

void HeadlessBackend::Schedule(DWORD delayMs, ActionKind kind, int controlId) {
    actions.push_back(Action{now + delayMs, sequence++, kind, controlId});
}

void HeadlessBackend::PressEnterAfter(DWORD delayMs) { Schedule(delayMs, ActionKind::kEnter, 0); }

void HeadlessBackend::AnswerNextMessageBox(int answer, DWORD delayMs) { answers.push_back(Answer{answer, delayMs}); }

// ---- Immediate input ----

CDialogEx* HeadlessBackend::TopDialog() const {
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it)
        if (Shown(**it)) return static_cast<CDialogEx*>(*it);
    return nullptr;
}

CDialogEx* HeadlessBackend::ModalDialog() const { return modalStack.empty() ? nullptr : modalStack.back(); }

CDialogEx* HeadlessBackend::MainDialog() const {
    if (CDialogEx* modal = ModalDialog()) return modal;
    for (CWnd* dialog : dialogs)
        if (!dialog->Parent() && Shown(*dialog)) return static_cast<CDialogEx*>(dialog);
    return nullptr;
}

CWnd* HeadlessBackend::Control(int controlId) const {
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it)
        if (Shown(**it))
            if (CWnd* control = (*it)->GetDlgItem(controlId)) return control;
    return nullptr;
}

bool HeadlessBackend::Click(int controlId) {
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it)
        if (Shown(**it) && (*it)->GetDlgItem(controlId)) return Click(**it, controlId);
    return false;
}

bool HeadlessBackend::Click(CWnd& dialog, int controlId) {
    CWnd* control = dialog.GetDlgItem(controlId);
    if (InputBlocked() || !control || !Shown(dialog) || !dialog.State().enabled) return false;
    if (!Shown(*control) || !control->State().enabled) return false;
    ++inputsPerformed;
    control->SendMessage(BM_CLICK);
    return true;
}

bool HeadlessBackend::Close() {
    CDialogEx* modal = MainDialog();
    if (InputBlocked() || !modal) return false;
    ++inputsPerformed;
    modal->SendMessage(WM_CLOSE);
    return true;
}

bool HeadlessBackend::PressEnter() {
    CDialogEx* top = TopDialog();
    if (InputBlocked() || !top) return false;
    ++inputsPerformed;
    top->SendMessage(WM_COMMAND, MakeCommandParam(IDOK, BN_CLICKED));
    return true;
}

bool HeadlessBackend::PressEscape() {
    CDialogEx* top = TopDialog();
    if (InputBlocked() || !top) return false;
    ++inputsPerformed;
    top->SendMessage(WM_COMMAND, MakeCommandParam(IDCANCEL, BN_CLICKED));
    return true;
}

bool HeadlessBackend::AnswerMessageBox(int answer) {
    if (openBoxes.empty()) return false;
    OpenBox& box = openBoxes.back();
    box.scripted = true;
    box.due = now;
    box.answer = answer;
    ++inputsPerformed;
    return true;
}

bool HeadlessBackend::Drag(int dx, int dy) {
    CDialogEx* modal = MainDialog();
    if (InputBlocked() || !modal) return false;
    const WindowState& s = modal->State();
    RECT proposed{s.x + dx, s.y + dy, s.x + dx + s.width, s.y + dy + s.height};
    ++inputsPerformed;
    modal->SendMessage(WM_MOVING, 0, reinterpret_cast<LPARAM>(&proposed));
    modal->SetWindowPos(nullptr, proposed.left, proposed.top, 0, 0, SWP_NOSIZE);
    return true;
}

void HeadlessBackend::Paint(CWnd& window) { window.SendMessage(WM_PAINT); }

void HeadlessBackend::Minimise(CWnd& window, bool minimised) {
    window.MutableState().minimised = minimised;
    window.RedrawWindow();
}

const HeadlessBackend::MessageBoxRecord* HeadlessBackend::OpenMessageBox() const {
    return openBoxes.empty() ? nullptr : &boxes[openBoxes.back().record];
}

const HeadlessBackend::TimerRecord* HeadlessBackend::FindTimer(HWND window, UINT_PTR id) const {
    for (const TimerRecord& timer : timers)
        if (timer.window == window && timer.id == id) return &timer;
    return nullptr;
}

// ---- The loop ----

void HeadlessBackend::Perform(const Action& action) {
    switch (action.kind) {
        case ActionKind::kEnter:
            PressEnter();
            break;
    }
}

// The innermost open box's answer when due, otherwise the earliest due
// scripted action (unless a box holds input back).
bool HeadlessBackend::PerformDueInput() {
    if (!openBoxes.empty()) {
        OpenBox& box = openBoxes.back();
        if (!box.scripted || box.due > now) return false;
        MessageBoxRecord& record = boxes[box.record];
        record.answer = box.answer;
        record.closedAt = now;
        record.open = false;
        return true;
    }
    auto due = std::min_element(actions.begin(), actions.end(), [](const Action& a, const Action& b) {
        return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
    });
    if (due == actions.end() || due->due > now) return false;
    Action action = *due;
    actions.erase(due);
    Perform(action);
    return true;
}

bool HeadlessBackend::FireDueTimer() {
    std::size_t best = timers.size();
    for (std::size_t i = 0; i < timers.size(); ++i) {
        if (timers[i].due > now) continue;
        if (best == timers.size() || timers[i].due < timers[best].due ||
            (timers[i].due == timers[best].due && timerOrder[i] < timerOrder[best]))
            best = i;
    }
    if (best == timers.size()) return false;
    TimerRecord timer = timers[best];
    timers[best].due = now + timers[best].elapse;
    timer.callback(timer.window, WM_TIMER, timer.id, now);
    return true;
}

bool HeadlessBackend::NextEvent(DWORD* when) const {
    bool found = false;
    auto consider = [&](DWORD t) {
        if (!found || t < *when) *when = t;
        found = true;
    };
    for (const TimerRecord& timer : timers) consider(timer.due);
    if (!openBoxes.empty()) {
        if (openBoxes.back().scripted) consider(openBoxes.back().due);
    } else {
        for (const Action& action : actions) consider(action.due);
    }
    return found;
}

void HeadlessBackend::Loop(const std::function<bool()>& done, bool toDeadline, DWORD deadline) {
    while (!done() && !quitPosted && !timedOut) {
        if (FireDueTimer()) continue;
        if (PerformDueInput()) continue;
        if (driver && !inDriver) {
            unsigned long before = inputsPerformed;
            inDriver = true;
            driver(*this);
            inDriver = false;
            if (inputsPerformed != before || done() || quitPosted) continue;
        }
        DWORD next = 0;
        bool any = NextEvent(&next);
        if (toDeadline && (!any || next > deadline)) {
            now = std::max(now, deadline);
            return;
        }
        if (!any) {
            stalled = true;
            return;
        }
        if (next > timeLimit) {
            now = std::max(now, timeLimit);
            timedOut = true;
            return;
        }
        now = std::max(now, next);
    }
}

void HeadlessBackend::RunFor(DWORD ms) {
    Loop([] { return false; }, /*toDeadline*/ true, now + ms);
}

INT_PTR HeadlessBackend::RunModal(CDialogEx& dialog) {
    modalStack.push_back(&dialog);
    Loop([&] { return dialog.ModalEnded(); }, /*toDeadline*/ false, 0);
    modalStack.pop_back();
    return dialog.ModalEnded() ? dialog.Result() : -1;
}

int HeadlessBackend::MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
    MessageBoxRecord record;
    record.owner = owner;
    record.text = text;
    record.caption = caption;
    record.flags = flags;
    record.openedAt = now;
    record.open = true;
    boxes.push_back(record);
    OpenBox box;
    box.record = boxes.size() - 1;
    if (!answers.empty()) {
        box.scripted = true;
        box.due = now + answers.front().delay;
        box.answer = answers.front().answer;
        answers.pop_front();
    }
    openBoxes.push_back(box);
    std::size_t index = box.record;
    Loop([&] { return !boxes[index].open; }, /*toDeadline*/ false, 0);
    openBoxes.pop_back();
    if (boxes[index].open) {  // the quit message, the time limit or nothing left to wait for
        boxes[index].open = false;
        boxes[index].closedAt = now;
    }
    return boxes[index].answer;
}

void HeadlessBackend::PostQuit(int exitCode) {
    quitPosted = true;
    quitCode = exitCode;
}

// ---- Timers ----

UINT_PTR HeadlessBackend::SetTimer(HWND window, UINT_PTR timerId, UINT elapse, TIMERPROC callback) {
    if (!callback) return 0;  // a timer without a callback would post WM_TIMER, which nothing here handles
    elapse = std::max(elapse, USER_TIMER_MINIMUM);
    if (!window) timerId = nextThreadTimerId++;
    for (std::size_t i = 0; i < timers.size(); ++i) {
        if (timers[i].window == window && timers[i].id == timerId) {
            timers[i].elapse = elapse;
            timers[i].callback = callback;
            timers[i].due = now + elapse;
            return window ? 1 : timerId;
        }
    }
    timers.push_back(TimerRecord{window, timerId, elapse, callback, now + elapse});
    timerOrder.push_back(sequence++);
    return window ? 1 : timerId;
}

BOOL HeadlessBackend::KillTimer(HWND window, UINT_PTR timerId) {
    for (std::size_t i = 0; i < timers.size(); ++i) {
        if (timers[i].window == window && timers[i].id == timerId) {
            timers.erase(timers.begin() + static_cast<std::ptrdiff_t>(i));
            timerOrder.erase(timerOrder.begin() + static_cast<std::ptrdiff_t>(i));
            return TRUE;
        }
    }
    return FALSE;
}

// ---- Windows ----

void HeadlessBackend::DialogCreated(CDialogEx& dialog) {
    WindowState& s = dialog.MutableState();
    bool framed = (s.style & WS_CAPTION) == WS_CAPTION;
    s.clientX = framed ? kFrameWidth : 0;
    s.clientY = framed ? kCaptionHeight : 0;
    s.width = s.rect.width * kBaseUnitX / 4 + (framed ? 2 * kFrameWidth : 0);
    s.height = s.rect.height * kBaseUnitY / 8 + (framed ? kCaptionHeight + kFrameWidth : 0);
    // A top-level window at 0, 0 of its template is centred on the screen.
    if (!dialog.Parent() && s.rect.x == 0 && s.rect.y == 0) {
        s.x = (kScreenWidth - s.width) / 2;
        s.y = (kScreenHeight - s.height) / 2;
    } else {
        s.x = s.rect.x * kBaseUnitX / 4;
        s.y = s.rect.y * kBaseUnitY / 8;
    }
    CWnd* window = &dialog;
    if (std::find(dialogs.begin(), dialogs.end(), window) == dialogs.end()) dialogs.push_back(window);
}

void HeadlessBackend::MessageSent(CWnd& window, UINT message, WPARAM wParam, LPARAM lParam) {
    sent.push_back(SentMessage{window.GetSafeHwnd(), window.GetDlgCtrlID(), message, wParam, lParam});
}

void HeadlessBackend::WindowDestroyed(CWnd& window) {
    HWND handle = window.GetSafeHwnd();
    for (std::size_t i = timers.size(); i-- > 0;) {
        if (timers[i].window == handle) {
            timers.erase(timers.begin() + static_cast<std::ptrdiff_t>(i));
            timerOrder.erase(timerOrder.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), &window), dialogs.end());
}

bool HeadlessBackend::ClearTaskbarProgress(HWND) {
    ++taskbarClears;
    return true;
}

}  // namespace afx
