// The framework's headers come first: windows.h defines macros (WM_CLOSE,
// SendMessage, MessageBox, LoadIcon...) that would rewrite their names.
#include "platform/ui/win32/win32_backend.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/afx.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shobjidl.h>

#undef CreateFont
#undef GetWindowText
#undef LoadIcon
#undef MessageBox
#undef SendMessage
#undef SetWindowText

namespace {

// What was last copied onto a real control, so only changes are copied.
struct Mirror {
    std::string text;
    bool visible = false;
    bool enabled = true;
    int check = 0;
    int position = 0;
    afx::HFONT font = nullptr;
};

struct TimerTarget {
    afx::HWND window = nullptr;  // the framework's handle given to the callback
    afx::TIMERPROC callback = nullptr;
};

class Win32Backend : public afx::UiBackend {
public:
    void DialogCreated(afx::CDialogEx& dialog) override;
    void WindowChanged(afx::CWnd& window, bool drawNow) override;
    void WindowDestroyed(afx::CWnd& window) override;
    afx::INT_PTR RunModal(afx::CDialogEx& dialog) override;
    void EndModal(afx::CDialogEx& dialog) override;
    int MessageBox(afx::HWND owner, const std::string& text, const std::string& caption, afx::UINT flags) override;
    void PostQuit(int exitCode) override { ::PostQuitMessage(exitCode); }
    afx::UINT_PTR SetTimer(afx::HWND window, afx::UINT_PTR timerId, afx::UINT elapse,
                           afx::TIMERPROC callback) override;
    afx::BOOL KillTimer(afx::HWND window, afx::UINT_PTR timerId) override;
    afx::HICON LoadIcon(afx::UINT iconId) override;
    void PaintIcon(afx::CWnd& window, afx::HICON icon) override;
    bool ClearTaskbarProgress(afx::HWND window) override;

    static INT_PTR CALLBACK DialogProc(HWND real, UINT message, WPARAM wParam, LPARAM lParam);
    static void CALLBACK TimerThunk(HWND real, UINT message, UINT_PTR timerId, DWORD time);

private:
    struct DialogWindows {
        HWND real = nullptr;
        std::vector<HWND> controls;  // the real controls in template order
    };

    HWND RealOf(const afx::CWnd* window) const;
    HWND RealOfHandle(afx::HWND handle) const { return RealOf(afx::CWnd::FromHandle(handle)); }
    afx::CDialogEx* DialogOfReal(HWND real) const;
    afx::CWnd* ControlOfReal(HWND control) const;
    void Attach(afx::CDialogEx& dialog, HWND real);
    void CopyDialog(afx::CWnd& dialog, HWND real);
    void CopyControl(afx::CWnd& control, HWND real);
    HFONT RealFont(afx::HFONT font);
    bool IsDialogMessageOfOurs(MSG& msg) const;
    INT_PTR Handle(afx::CDialogEx& dialog, HWND real, UINT message, WPARAM wParam, LPARAM lParam);

    std::map<const afx::CWnd*, DialogWindows> dialogs;
    std::map<HWND, Mirror> mirrors;
    std::map<std::pair<HWND, UINT_PTR>, TimerTarget> windowTimers;
    std::map<UINT_PTR, TimerTarget> threadTimers;
    std::map<afx::HFONT, HFONT> fonts;
};

Win32Backend& Backend() {
    // Never destroyed: framework windows held by statics may call it at exit.
    static auto* backend = new Win32Backend;
    return *backend;
}

// Writes the real window's place into the framework's state.
void ReadPlace(afx::CWnd& window, HWND real) {
    afx::WindowState& s = window.MutableState();
    ::RECT r;
    if (!GetWindowRect(real, &r)) return;
    ::POINT origin{0, 0};
    ClientToScreen(real, &origin);
    s.x = r.left;
    s.y = r.top;
    s.width = r.right - r.left;
    s.height = r.bottom - r.top;
    s.clientX = origin.x - r.left;
    s.clientY = origin.y - r.top;
    s.minimised = IsIconic(real) != FALSE;
}

afx::LPARAM HandleParam(afx::CWnd* window) {
    return window ? reinterpret_cast<afx::LPARAM>(window->GetSafeHwnd()) : 0;
}

// ---- Windows and controls ----

HWND Win32Backend::RealOf(const afx::CWnd* window) const {
    if (!window) return nullptr;
    auto found = dialogs.find(window);
    if (found != dialogs.end()) return found->second.real;
    // A control: the real control at its place among its dialog's controls.
    // Looked up each time, because binding a member object replaces the
    // framework's stand-in for the control.
    afx::CWnd* parent = window->Parent();
    auto owner = dialogs.find(parent);
    if (!parent || owner == dialogs.end()) return nullptr;
    const std::vector<afx::CWnd*>& children = parent->Children();
    auto place = std::find(children.begin(), children.end(), window);
    if (place == children.end()) return nullptr;
    std::size_t index = static_cast<std::size_t>(place - children.begin());
    return index < owner->second.controls.size() ? owner->second.controls[index] : nullptr;
}

afx::CDialogEx* Win32Backend::DialogOfReal(HWND real) const {
    return reinterpret_cast<afx::CDialogEx*>(GetWindowLongPtrA(real, DWLP_USER));
}

afx::CWnd* Win32Backend::ControlOfReal(HWND control) const {
    afx::CDialogEx* dialog = DialogOfReal(GetParent(control));
    auto found = dialogs.find(dialog);
    if (!dialog || found == dialogs.end()) return nullptr;
    const std::vector<HWND>& controls = found->second.controls;
    auto place = std::find(controls.begin(), controls.end(), control);
    std::size_t index = static_cast<std::size_t>(place - controls.begin());
    return place != controls.end() && index < dialog->Children().size() ? dialog->Children()[index] : nullptr;
}

void Win32Backend::DialogCreated(afx::CDialogEx& dialog) {
    HWND owner = RealOf(dialog.Parent());
    HWND real = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialog.TemplateId()), owner,
                                   DialogProc, reinterpret_cast<LPARAM>(&dialog));
    if (real) ReadPlace(dialog, real);
}

// Called from WM_INITDIALOG: the real dialog and its controls are known.
void Win32Backend::Attach(afx::CDialogEx& dialog, HWND real) {
    SetWindowLongPtrA(real, DWLP_USER, reinterpret_cast<LONG_PTR>(&dialog));
    SetPropA(real, afx::kDialogIdProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(dialog.TemplateId())));
    DialogWindows& windows = dialogs[&dialog];
    windows.real = real;
    windows.controls.clear();
    // Controls are made in template order, which is their order among the
    // dialog's children.
    for (HWND c = GetWindow(real, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) windows.controls.push_back(c);
    for (std::size_t i = 0; i < windows.controls.size() && i < dialog.Children().size(); ++i) {
        HWND control = windows.controls[i];
        const afx::WindowState& s = dialog.Children()[i]->State();
        // Shown and enabled as the real control is, so that a resource that
        // disagrees with the layout is put right here, before it is seen.
        bool visible = (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0;
        bool enabled = IsWindowEnabled(control) != FALSE;
        mirrors[control] = Mirror{s.text, visible, enabled, s.check, s.position, s.font};
        if (enabled != s.enabled) {
            ::EnableWindow(control, s.enabled ? TRUE : FALSE);
            mirrors[control].enabled = s.enabled;
        }
        if (visible != s.visible) {
            ::ShowWindow(control, s.visible ? SW_SHOWNA : SW_HIDE);
            mirrors[control].visible = s.visible;
        }
    }
    // A top-level dialog placed at 0, 0 of its template is centred on the screen.
    const afx::WindowState& s = dialog.State();
    if (!dialog.Parent() && s.rect.x == 0 && s.rect.y == 0) {
        ::RECT r;
        GetWindowRect(real, &r);
        int x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
        int y = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
        SetWindowPos(real, nullptr, std::max(0, x), std::max(0, y), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Win32Backend::WindowChanged(afx::CWnd& window, bool drawNow) {
    HWND real = RealOf(&window);
    if (!real) return;
    if (dialogs.count(&window))
        CopyDialog(window, real);
    else
        CopyControl(window, real);
    if (drawNow) ::RedrawWindow(real, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void Win32Backend::CopyDialog(afx::CWnd& dialog, HWND real) {
    const afx::WindowState& s = dialog.State();
    if ((IsWindowVisible(real) != FALSE) != s.visible) ::ShowWindow(real, s.visible ? SW_SHOW : SW_HIDE);
    if (s.bigIcon && reinterpret_cast<HICON>(SendMessageA(real, WM_GETICON, ICON_BIG, 0)) != s.bigIcon)
        SendMessageA(real, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(s.bigIcon));
    if (s.smallIcon && reinterpret_cast<HICON>(SendMessageA(real, WM_GETICON, ICON_SMALL, 0)) != s.smallIcon)
        SendMessageA(real, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(s.smallIcon));
    ::RECT r;
    GetWindowRect(real, &r);
    if (r.left != s.x || r.top != s.y) {
        HWND after = RealOfHandle(s.insertAfter);
        SetWindowPos(real, after, s.x, s.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | (after ? 0 : SWP_NOZORDER));
    }
}

void Win32Backend::CopyControl(afx::CWnd& control, HWND real) {
    const afx::WindowState& s = control.State();
    Mirror& m = mirrors[real];
    if (s.text != m.text) {
        SetWindowTextA(real, s.text.c_str());
        m.text = s.text;
    }
    if (s.check != m.check) {
        SendMessageA(real, BM_SETCHECK, static_cast<WPARAM>(s.check), 0);
        m.check = s.check;
    }
    if (s.position != m.position) {
        SendMessageA(real, PBM_SETPOS, static_cast<WPARAM>(s.position), 0);
        m.position = s.position;
    }
    if (s.font != m.font) {
        HFONT font = s.font ? RealFont(s.font)
                            : reinterpret_cast<HFONT>(SendMessageA(GetParent(real), WM_GETFONT, 0, 0));
        SendMessageA(real, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        m.font = s.font;
    }
    if (s.enabled != m.enabled) {
        ::EnableWindow(real, s.enabled ? TRUE : FALSE);
        m.enabled = s.enabled;
    }
    if (s.visible != m.visible) {
        ::ShowWindow(real, s.visible ? SW_SHOWNA : SW_HIDE);
        m.visible = s.visible;
    }
}

// The framework's font handle is its CFont object; the real font is made
// from it with CreateFontA the first time a window is given it.
HFONT Win32Backend::RealFont(afx::HFONT font) {
    auto found = fonts.find(font);
    if (found != fonts.end()) return found->second;
    const auto* object = reinterpret_cast<const afx::CFont*>(font);
    HFONT real = CreateFontA(object->Height(), 0, 0, 0, 0, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, object->Face().c_str());
    fonts[font] = real;
    return real;
}

void Win32Backend::WindowDestroyed(afx::CWnd& window) {
    auto found = dialogs.find(&window);
    if (found == dialogs.end()) return;
    HWND real = found->second.real;
    for (auto t = windowTimers.begin(); t != windowTimers.end();)
        t = t->first.first == real ? windowTimers.erase(t) : std::next(t);
    for (HWND control : found->second.controls) mirrors.erase(control);
    dialogs.erase(found);
    if (IsWindow(real)) {
        SetWindowLongPtrA(real, DWLP_USER, 0);
        RemovePropA(real, afx::kDialogIdProperty);
        ::DestroyWindow(real);
    }
}

// ---- Messages ----

INT_PTR CALLBACK Win32Backend::DialogProc(HWND real, UINT message, WPARAM wParam, LPARAM lParam) {
    Win32Backend& self = Backend();
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<afx::CDialogEx*>(lParam);
        self.Attach(*dialog, real);
        return TRUE;  // the system gives the focus to the first tab stop
    }
    afx::CDialogEx* dialog = self.DialogOfReal(real);
    if (!dialog || !self.dialogs.count(dialog)) return FALSE;
    return self.Handle(*dialog, real, message, wParam, lParam);
}

INT_PTR Win32Backend::Handle(afx::CDialogEx& dialog, HWND real, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: {
            HWND control = reinterpret_cast<HWND>(lParam);
            UINT notification = HIWORD(wParam);
            afx::CWnd* source = control ? ControlOfReal(control) : nullptr;
            if (control && notification != BN_CLICKED) return FALSE;  // edit and other notifications
            // An automatic check box has turned itself over: the framework's
            // state follows before the dialog hears of the click.
            if (source && source->State().kind == afx::ControlKind::kCheckBox) {
                int check = static_cast<int>(SendMessageA(control, BM_GETCHECK, 0, 0));
                source->MutableState().check = check;
                mirrors[control].check = check;
            }
            dialog.SendMessage(WM_COMMAND, afx::MakeCommandParam(LOWORD(wParam), notification), HandleParam(source));
            return TRUE;
        }
        case WM_CLOSE:
            dialog.SendMessage(WM_CLOSE);
            return TRUE;
        case WM_PAINT: {
            ReadPlace(dialog, real);
            if (IsIconic(real)) {
                dialog.SendMessage(WM_PAINT);  // the host draws its icon (PaintIcon)
                return TRUE;
            }
            PAINTSTRUCT paint;
            BeginPaint(real, &paint);
            EndPaint(real, &paint);
            dialog.SendMessage(WM_PAINT);
            return TRUE;
        }
        case WM_MOVING: {
            ReadPlace(dialog, real);  // the place before this move step
            auto* proposed = reinterpret_cast<::RECT*>(lParam);
            afx::RECT rect{proposed->left, proposed->top, proposed->right, proposed->bottom};
            dialog.SendMessage(WM_MOVING, wParam, reinterpret_cast<afx::LPARAM>(&rect));
            return TRUE;
        }
        case WM_MOVE:
        case WM_SIZE:
            ReadPlace(dialog, real);
            return FALSE;
        case WM_QUERYDRAGICON:
            return static_cast<INT_PTR>(dialog.SendMessage(WM_QUERYDRAGICON));
        default:
            return FALSE;
    }
}

bool Win32Backend::IsDialogMessageOfOurs(MSG& msg) const {
    if (!msg.hwnd) return false;
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    afx::CDialogEx* dialog = root ? DialogOfReal(root) : nullptr;
    return dialog && dialogs.count(dialog) && IsDialogMessageA(root, &msg);
}

afx::INT_PTR Win32Backend::RunModal(afx::CDialogEx& dialog) {
    HWND real = RealOf(&dialog);
    if (!real) return -1;
    MSG msg;
    while (!dialog.ModalEnded()) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));  // every enclosing loop ends too
            return -1;
        }
        if (got == -1) return -1;
        if (IsDialogMessageOfOurs(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return dialog.Result();
}

void Win32Backend::EndModal(afx::CDialogEx& dialog) {
    // Wakes the loop, which then sees that the dialog has ended.
    if (HWND real = RealOf(&dialog)) PostMessageA(real, WM_NULL, 0, 0);
}

int Win32Backend::MessageBox(afx::HWND owner, const std::string& text, const std::string& caption, afx::UINT flags) {
    return MessageBoxA(RealOfHandle(owner), text.c_str(), caption.c_str(), flags);
}

// ---- Timers ----

void CALLBACK Win32Backend::TimerThunk(HWND real, UINT message, UINT_PTR timerId, DWORD time) {
    Win32Backend& self = Backend();
    TimerTarget target;
    if (real) {
        auto found = self.windowTimers.find({real, timerId});
        if (found == self.windowTimers.end()) return;
        target = found->second;
    } else {
        auto found = self.threadTimers.find(timerId);
        if (found == self.threadTimers.end()) return;
        target = found->second;
    }
    // A copy: the callback may set or kill timers.
    target.callback(target.window, message, timerId, time);
}

afx::UINT_PTR Win32Backend::SetTimer(afx::HWND window, afx::UINT_PTR timerId, afx::UINT elapse,
                                     afx::TIMERPROC callback) {
    if (!callback) return 0;
    if (!window) {
        UINT_PTR id = ::SetTimer(nullptr, 0, elapse, TimerThunk);
        if (id) threadTimers[id] = TimerTarget{nullptr, callback};
        return id;
    }
    HWND real = RealOfHandle(window);
    if (!real || !::SetTimer(real, timerId, elapse, TimerThunk)) return 0;
    windowTimers[{real, timerId}] = TimerTarget{window, callback};
    return 1;
}

afx::BOOL Win32Backend::KillTimer(afx::HWND window, afx::UINT_PTR timerId) {
    if (!window) {
        threadTimers.erase(timerId);
        return ::KillTimer(nullptr, timerId);
    }
    HWND real = RealOfHandle(window);
    if (!real) return FALSE;
    windowTimers.erase({real, timerId});
    return ::KillTimer(real, timerId);
}

// ---- Icons and the taskbar ----

afx::HICON Win32Backend::LoadIcon(afx::UINT iconId) {
    return LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconId));
}

void Win32Backend::PaintIcon(afx::CWnd& window, afx::HICON icon) {
    HWND real = RealOf(&window);
    if (!real) return;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(real, &paint);
    SendMessageA(real, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    int iconWidth = GetSystemMetrics(SM_CXICON);
    int iconHeight = GetSystemMetrics(SM_CYICON);
    ::RECT client;
    GetClientRect(real, &client);
    int x = (client.right - client.left - iconWidth + 1) / 2;
    int y = (client.bottom - client.top - iconHeight + 1) / 2;
    DrawIcon(dc, x, y, icon);
    EndPaint(real, &paint);
}

bool Win32Backend::ClearTaskbarProgress(afx::HWND window) {
    HRESULT started = CoInitialize(nullptr);
    ITaskbarList3* taskbar = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                  reinterpret_cast<void**>(&taskbar));
    bool available = SUCCEEDED(hr) && taskbar;
    if (available) {
        if (SUCCEEDED(taskbar->HrInit())) taskbar->SetProgressState(RealOfHandle(window), TBPF_NOPROGRESS);
        taskbar->Release();
    }
    if (SUCCEEDED(started)) CoUninitialize();
    return available;
}

}  // namespace

namespace afx {

UiBackend& Win32UiBackend() { return Backend(); }

}  // namespace afx
