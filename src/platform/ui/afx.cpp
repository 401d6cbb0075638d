#include "platform/ui/afx.h"

#include <map>

#include "platform/ui/ui_backend.h"

namespace afx {
namespace {

// Handles are the addresses of the framework's objects, so a handle finds its
// window again on every backend.
std::map<HWND, CWnd*>& Windows() {
    static std::map<HWND, CWnd*> windows;
    return windows;
}

// Until a backend is set: no screen, no loop; timers are only remembered.
class NullBackend : public UiBackend {
public:
    INT_PTR RunModal(CDialogEx&) override { return IDCANCEL; }
    int MessageBox(HWND, const std::string&, const std::string&, UINT) override { return IDNO; }
    void PostQuit(int) override {}
    UINT_PTR SetTimer(HWND, UINT_PTR timerId, UINT, TIMERPROC) override { return timerId == 0 ? 1 : timerId; }
    BOOL KillTimer(HWND, UINT_PTR) override { return TRUE; }
};

UiBackend*& Backend() {
    static NullBackend nullBackend;
    static UiBackend* backend = &nullBackend;
    return backend;
}

CWinApp*& TheApp() {
    static CWinApp* app = nullptr;
    return app;
}

}  // namespace

UiBackend& CurrentUiBackend() { return *Backend(); }

void SetUiBackend(UiBackend* backend) {
    static NullBackend nullBackend;
    Backend() = backend ? backend : &nullBackend;
}

// ---- CFont ----

CFont::~CFont() = default;

BOOL CFont::CreateFont(int fontHeight, int /*weight*/, const char* fontFace) {
    face = fontFace ? fontFace : "";
    height = fontHeight;
    handle = reinterpret_cast<HFONT>(this);
    return TRUE;
}

// ---- CWnd ----

CWnd::CWnd() {
    hwnd = reinterpret_cast<HWND>(this);
    Windows()[hwnd] = this;
}

CWnd::~CWnd() { Windows().erase(hwnd); }

CWnd* CWnd::FromHandle(HWND window) {
    auto it = Windows().find(window);
    return it == Windows().end() ? nullptr : it->second;
}

BOOL CWnd::ShowWindow(int command) {
    BOOL wasVisible = state.visible;
    state.visible = command != SW_HIDE;
    CurrentUiBackend().WindowChanged(*this, false);
    return wasVisible;
}

BOOL CWnd::EnableWindow(BOOL enable) {
    BOOL wasDisabled = !state.enabled;
    state.enabled = enable != FALSE;
    CurrentUiBackend().WindowChanged(*this, false);
    return wasDisabled;
}

void CWnd::SetWindowText(const char* text) {
    state.text = text ? text : "";
    CurrentUiBackend().WindowChanged(*this, false);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
        case PBM_SETPOS: {
            int previous = state.position;
            state.position = static_cast<int>(wParam);
            CurrentUiBackend().WindowChanged(*this, false);
            return previous;
        }
        case BM_SETCHECK:
            state.check = static_cast<int>(wParam);
            CurrentUiBackend().WindowChanged(*this, false);
            return 0;
        case BM_GETCHECK:
            return state.check;
        case WM_SETFONT:
            state.font = reinterpret_cast<HFONT>(wParam);
            CurrentUiBackend().WindowChanged(*this, false);
            return 0;
        default:
            return 0;
    }
}

BOOL CWnd::RedrawWindow(const void*, const void*, UINT flags) {
    if (flags & RDW_UPDATENOW) ++state.repaints;
    CurrentUiBackend().WindowChanged(*this, (flags & RDW_UPDATENOW) != 0);
    return TRUE;
}

void CWnd::SetFont(CFont* font, BOOL) {
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font ? font->GetSafeHandle() : nullptr), TRUE);
}

CWnd* CWnd::GetDlgItem(int id) const {
    auto it = controls.find(id);
    return it == controls.end() ? nullptr : it->second;
}

UINT_PTR CWnd::SetTimer(UINT_PTR timerId, UINT elapse, TIMERPROC callback) {
    return afx::SetTimer(hwnd, timerId, elapse, callback);
}

BOOL CWnd::KillTimer(UINT_PTR timerId) { return afx::KillTimer(hwnd, timerId); }

void DDX_Control(CDataExchange* exchange, int id, CWnd& control) {
    CWnd* dialog = exchange->Dialog();
    CWnd* existing = dialog->GetDlgItem(id);
    if (existing == &control) return;
    if (existing) control.state = existing->state;  // the member object takes the control over
    control.state.id = id;
    control.parent = dialog;
    dialog->controls[id] = &control;
}

// ---- CDialogEx ----

CDialogEx::CDialogEx(UINT id, CWnd* parentWindow) : templateId(id) { parent = parentWindow; }

CDialogEx::~CDialogEx() = default;

INT_PTR CDialogEx::DoModal() {
    if (!created && !Create(templateId, parent)) return -1;
    state.visible = true;
    return CurrentUiBackend().RunModal(*this);
}

BOOL CDialogEx::Create(UINT id, CWnd* parentWindow) {
    templateId = id;
    parent = parentWindow;
    created = true;
    CurrentUiBackend().DialogCreated(*this);
    OnInitDialog();
    return TRUE;
}

void CDialogEx::EndDialog(int endResult) {
    result = endResult;
    ShowWindow(SW_HIDE);
    CurrentUiBackend().EndModal(*this);
}

BOOL CDialogEx::OnInitDialog() {
    CDataExchange exchange(this);
    DoDataExchange(&exchange);
    return TRUE;
}

void CDialogEx::OnOK() { EndDialog(IDOK); }
void CDialogEx::OnCancel() { EndDialog(IDCANCEL); }
void CDialogEx::DoDataExchange(CDataExchange*) {}

BOOL CDialogEx::OnCommand(int controlId) {
    if (controlId == IDOK) {
        OnOK();
        return TRUE;
    }
    if (controlId == IDCANCEL) {
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

void CDialogEx::OnClose() { OnCancel(); }

// ---- CWinApp and the system calls ----

CWinApp::CWinApp(const char*) { TheApp() = this; }
CWinApp::~CWinApp() {
    if (TheApp() == this) TheApp() = nullptr;
}
BOOL CWinApp::InitInstance() { return TRUE; }
CWinApp* AfxGetApp() { return TheApp(); }

UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT elapse, TIMERPROC callback) {
    return CurrentUiBackend().SetTimer(window, timerId, elapse, callback);
}

BOOL KillTimer(HWND window, UINT_PTR timerId) { return CurrentUiBackend().KillTimer(window, timerId); }

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT flags) {
    return CurrentUiBackend().MessageBox(owner, text ? text : "", caption ? caption : "", flags);
}

void PostQuitMessage(int exitCode) { CurrentUiBackend().PostQuit(exitCode); }

BOOL RedrawWindow(HWND window, const void* rect, const void* region, UINT flags) {
    CWnd* target = CWnd::FromHandle(window);
    return target ? target->RedrawWindow(rect, region, flags) : FALSE;
}

}  // namespace afx
