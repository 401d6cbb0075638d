#include "platform/ui/posix/terminal_backend.h"

#include <langinfo.h>
#include <ncurses.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstring>

#include "platform/posix/codepage.h"

namespace afx {
namespace {

constexpr int kCtrlC = 3;
constexpr int kCtrlL = 12;
constexpr int kEscape = 27;
constexpr int kTab = 9;
// Dialog base units of the templates' font, for the windows' pixel places.
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;

bool Shown(const CWnd& window) { return window.State().visible && !window.State().destroyed; }

// The texts are code page 1252, shown through UTF-8: the terminal must take it.
void UseUtf8Locale() {
    std::setlocale(LC_ALL, "");
    const char* codeset = nl_langinfo(CODESET);
    if (codeset && std::strcmp(codeset, "UTF-8") == 0) return;
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "en_US.UTF-8");
}

int CursesAttr(unsigned char attr) {
    int out = A_NORMAL;
    if (attr & kAttrBold) out |= A_BOLD;
    if (attr & kAttrDim) out |= A_DIM;
    if (attr & kAttrReverse) out |= A_REVERSE;
    return out;
}

void Blit(const TerminalCanvas& canvas) {
    for (int row = 0; row < canvas.Rows(); ++row) {
        int col = 0;
        while (col < canvas.Columns()) {
            unsigned char attr = canvas.At(col, row).attr;
            int start = col;
            std::string run;
            while (col < canvas.Columns() && canvas.At(col, row).attr == attr) plat::posix::AppendUtf8(run, canvas.At(col++, row).ch);
            attrset(CursesAttr(attr));
            // The bottom-right cell cannot be written without scrolling.
            if (row == canvas.Rows() - 1 && col == canvas.Columns()) {
                std::size_t keep = run.size();
                while (keep > 0 && (static_cast<unsigned char>(run[keep - 1]) & 0xC0) == 0x80) --keep;
                run.resize(keep > 0 ? keep - 1 : 0);
            }
            mvaddstr(row, start, run.c_str());
        }
    }
    attrset(A_NORMAL);
}

}  // namespace

TerminalBackend::TerminalBackend() = default;

TerminalBackend::~TerminalBackend() {
    Stop();
    if (&CurrentUiBackend() == this) SetUiBackend(nullptr);
}

bool TerminalBackend::Start() {
    if (started) return true;
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return false;
    UseUtf8Locale();
    if (!initscr()) return false;
    raw();  // Ctrl-C comes as a key: it is the close request, not a signal
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    curs_set(0);
    set_escdelay(25);
    mouseinterval(0);
    mousemask(BUTTON1_PRESSED, nullptr);
    started = true;
    dirty = true;
    return true;
}

void TerminalBackend::Stop() {
    if (!started) return;
    endwin();
    started = false;
}

// ---- Windows ----

void TerminalBackend::DialogCreated(CDialogEx& dialog) {
    WindowState& s = dialog.MutableState();
    s.width = s.rect.width * kBaseUnitX / 4;
    s.height = s.rect.height * kBaseUnitY / 8;
    s.x = dialog.Parent() ? s.rect.x * kBaseUnitX / 4 : 0;
    s.y = dialog.Parent() ? s.rect.y * kBaseUnitY / 8 : 0;
    if (std::find(dialogs.begin(), dialogs.end(), &dialog) == dialogs.end()) dialogs.push_back(&dialog);
    dirty = true;
}

void TerminalBackend::WindowChanged(CWnd&, bool drawNow) {
    dirty = true;
    if (!drawNow || !started) return;
    if (Clock::now() - lastDraw < std::chrono::milliseconds(kMinRepaintMs)) {
        ++skipped;
        return;
    }
    ++drawn;
    Draw();
}

void TerminalBackend::WindowDestroyed(CWnd& window) {
    HWND handle = window.GetSafeHwnd();
    timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.window == handle; }),
                 timers.end());
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), &window), dialogs.end());
    focus.erase(&window);
    for (auto it = focus.begin(); it != focus.end();) it = it->second == &window ? focus.erase(it) : std::next(it);
    dirty = true;
}

CDialogEx* TerminalBackend::Host() const {
    for (CWnd* dialog : dialogs)
        if (!dialog->Parent() && Shown(*dialog)) return static_cast<CDialogEx*>(dialog);
    return nullptr;
}

CDialogEx* TerminalBackend::Page() const {
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it)
        if ((*it)->Parent() && Shown(**it)) return static_cast<CDialogEx*>(*it);
    return nullptr;
}

// The page's focused control; the first tab stop when it has none that can
// still take the focus.
CWnd* TerminalBackend::Focus() {
    CDialogEx* page = Page();
    if (!page) return nullptr;
    std::vector<CWnd*> stops = TabStops(*page);
    CWnd*& current = focus[page];
    if (std::find(stops.begin(), stops.end(), current) == stops.end()) current = stops.empty() ? nullptr : stops.front();
    return current;
}

void TerminalBackend::Draw() {
    if (!started) return;
    lastDraw = Clock::now();
    dirty = false;
    TerminalCanvas canvas(COLS, LINES);
    const BoxView* box = boxes.empty() ? nullptr : &boxes.back()->view;
    RenderScreen(canvas, Host(), Page(), Focus(), box, &hits);
    Blit(canvas);
    refresh();
}

// ---- Input ----

void TerminalBackend::MoveFocus(int step) {
    CDialogEx* page = Page();
    if (!page) return;
    std::vector<CWnd*> stops = TabStops(*page);
    if (stops.empty()) return;
    auto at = std::find(stops.begin(), stops.end(), Focus());
    int index = at == stops.end() ? 0 : static_cast<int>(at - stops.begin());
    int count = static_cast<int>(stops.size());
    focus[page] = stops[static_cast<std::size_t>(((index + step) % count + count) % count)];
    dirty = true;
}

void TerminalBackend::Press(CWnd* control) {
    if (!control || !Shown(*control) || !control->State().enabled) return;
    dirty = true;
    control->SendMessage(BM_CLICK);
}

void TerminalBackend::HandleBoxKey(Box& box, int key) {
    std::vector<int>& buttons = box.view.buttons;
    auto has = [&](int id) { return std::find(buttons.begin(), buttons.end(), id) != buttons.end(); };
    dirty = true;
    switch (key) {
        case 'y':
        case 'Y':
            if (has(IDYES)) box.answer = IDYES;
            break;
        case 'n':
        case 'N':
            if (has(IDNO)) box.answer = IDNO;
            break;
        case kTab:
        case KEY_RIGHT:
            box.view.focus = (box.view.focus + 1) % static_cast<int>(buttons.size());
            break;
        case KEY_BTAB:
        case KEY_LEFT:
            box.view.focus = (box.view.focus + static_cast<int>(buttons.size()) - 1) % static_cast<int>(buttons.size());
            break;
        case ' ':
        case '\n':
        case '\r':
        case KEY_ENTER:
            box.answer = buttons[static_cast<std::size_t>(box.view.focus)];
            break;
        case kEscape:
            // A box without a Cancel or No button cannot be left with Escape.
            if (has(IDNO) || buttons.size() == 1) box.answer = has(IDNO) ? IDNO : buttons.front();
            break;
        default:
            break;
    }
}

void TerminalBackend::HandleMouse() {
    MEVENT event;
    if (getmouse(&event) != OK || !(event.bstate & BUTTON1_PRESSED)) return;
    for (const HitRegion& hit : hits) {
        if (event.y != hit.row || event.x < hit.col || event.x >= hit.col + hit.width) continue;
        if (!boxes.empty()) {
            if (hit.answer) boxes.back()->answer = hit.answer;
            dirty = true;
            return;
        }
        if (hit.control) {
            if (CDialogEx* page = Page()) focus[page] = hit.control;
            Press(hit.control);
        }
        return;
    }
}

void TerminalBackend::HandleKey(int key) {
    if (key == KEY_RESIZE || key == kCtrlL) {
        clearok(curscr, TRUE);
        dirty = true;
        return;
    }
    if (key == KEY_MOUSE) return HandleMouse();
    if (!boxes.empty()) return HandleBoxKey(*boxes.back(), key);
    CDialogEx* page = Page();
    switch (key) {
        case kTab: MoveFocus(1); break;
        case KEY_BTAB: MoveFocus(-1); break;
        case ' ': Press(Focus()); break;
        case '\n':
        case '\r':
        case KEY_ENTER: {
            CWnd* focused = Focus();
            if (focused && focused->State().kind == ControlKind::kPushButton)
                Press(focused);
            else if (page)
                page->SendMessage(WM_COMMAND, MakeCommandParam(IDOK, BN_CLICKED));
            break;
        }
        case kEscape:
            if (page) page->SendMessage(WM_COMMAND, MakeCommandParam(IDCANCEL, BN_CLICKED));
            break;
        case kCtrlC:
            if (CDialogEx* host = Host()) host->SendMessage(WM_CLOSE);
            break;
        default: break;
    }
    dirty = true;
}

void TerminalBackend::WaitForInput(Clock::time_point until) {
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    timeout(static_cast<int>(std::clamp<long long>(wait, 0, 250)));
    int key = getch();
    if (key != ERR) HandleKey(key);
}

// ---- Loops ----

bool TerminalBackend::FireDueTimer() {
    Clock::time_point now = Clock::now();
    auto due = std::min_element(timers.begin(), timers.end(),
                                [](const Timer& a, const Timer& b) { return a.due < b.due; });
    if (due == timers.end() || due->due > now) return false;
    Timer timer = *due;
    due->due = now + std::chrono::milliseconds(due->elapse);
    timer.callback(timer.window, WM_TIMER, timer.id, static_cast<DWORD>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count()));
    return true;
}

template <class Done>
void TerminalBackend::Loop(Done done) {
    while (!done() && !quit) {
        // Each timer fires at most once a turn, so input is never starved.
        std::size_t fired = 0;
        while (fired < timers.size() && !done() && !quit && FireDueTimer()) ++fired;
        if (done() || quit) break;
        if (dirty) Draw();
        Clock::time_point next = Clock::now() + std::chrono::milliseconds(250);
        for (const Timer& timer : timers) next = std::min(next, timer.due);
        if (started)
            WaitForInput(next);
        else
            break;  // without a terminal nothing can answer
    }
}

INT_PTR TerminalBackend::RunModal(CDialogEx& dialog) {
    dirty = true;
    Loop([&] { return dialog.ModalEnded(); });
    return dialog.ModalEnded() ? dialog.Result() : -1;
}

int TerminalBackend::MessageBox(HWND, const std::string& text, const std::string& caption, UINT flags) {
    Box box;
    box.view.text = text;
    box.view.caption = caption;
    box.view.buttons = (flags & 0x0F) == MB_YESNO ? std::vector<int>{IDYES, IDNO} : std::vector<int>{IDOK};
    boxes.push_back(&box);
    dirty = true;
    Loop([&] { return box.answer != 0; });
    boxes.pop_back();
    dirty = true;
    return box.answer;
}

void TerminalBackend::PostQuit(int) { quit = true; }

// ---- Timers ----

UINT_PTR TerminalBackend::SetTimer(HWND window, UINT_PTR timerId, UINT elapse, TIMERPROC callback) {
    if (!callback) return 0;
    elapse = std::max(elapse, USER_TIMER_MINIMUM);
    if (!window) timerId = nextThreadTimerId++;
    Clock::time_point due = Clock::now() + std::chrono::milliseconds(elapse);
    for (Timer& timer : timers) {
        if (timer.window == window && timer.id == timerId) {
            timer.elapse = elapse;
            timer.callback = callback;
            timer.due = due;
            return window ? 1 : timerId;
        }
    }
    timers.push_back(Timer{window, timerId, elapse, callback, due});
    return window ? 1 : timerId;
}

BOOL TerminalBackend::KillTimer(HWND window, UINT_PTR timerId) {
    auto it = std::find_if(timers.begin(), timers.end(),
                           [&](const Timer& t) { return t.window == window && t.id == timerId; });
    if (it == timers.end()) return FALSE;
    timers.erase(it);
    return TRUE;
}

}  // namespace afx
