#include "platform/ui/afx.h"

#include <algorithm>
#include <map>

#include "platform/ui/ui_backend.h"

namespace afx {
namespace {

// Handles are the addresses of the framework's objects, so a handle finds its
// window again on every backend. Never destroyed: windows held by statics
// may outlive any other static.
std::map<HWND, CWnd*>& Windows() {
    static auto* windows = new std::map<HWND, CWnd*>;
    return *windows;
}

// Until a backend is set: no screen, no loop; timers are only remembered.
class NullBackend : public UiBackend {
public:
    INT_PTR RunModal(CDialogEx&) override { return -1; }
    int MessageBox(HWND, const std::string&, const std::string&, UINT) override { return IDNO; }
    void PostQuit(int) override {}
    UINT_PTR SetTimer(HWND, UINT_PTR timerId, UINT, TIMERPROC) override { return timerId == 0 ? 1 : timerId; }
    BOOL KillTimer(HWND, UINT_PTR) override { return TRUE; }
};

NullBackend& TheNullBackend() {
    static NullBackend nullBackend;
    return nullBackend;
}

UiBackend*& Backend() {
    static UiBackend* backend = &TheNullBackend();
    return backend;
}

CWinApp*& TheApp() {
    static CWinApp* app = nullptr;
    return app;
}

DialogTemplateSource& TemplateSource() {
    static DialogTemplateSource source = nullptr;
    return source;
}

}  // namespace

UiBackend& CurrentUiBackend() { return *Backend(); }

void SetUiBackend(UiBackend* backend) { Backend() = backend ? backend : &TheNullBackend(); }

void SetDialogTemplateSource(DialogTemplateSource source) { TemplateSource() = source; }

const DialogTemplate* FindDialogTemplate(UINT templateId) {
    return TemplateSource() ? TemplateSource()(templateId) : nullptr;
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

CWnd::~CWnd() {
    // Owned windows and controls go first, while this window is still known.
    ownedWindows.clear();
    if (!state.destroyed) CurrentUiBackend().WindowDestroyed(*this);
    Windows().erase(hwnd);
}

CWnd* CWnd::FromHandle(HWND window) {
    auto it = Windows().find(window);
    return it == Windows().end() ? nullptr : it->second;
}

void CWnd::Changed(bool drawNow) { CurrentUiBackend().WindowChanged(*this, drawNow); }

BOOL CWnd::ShowWindow(int command) {
    BOOL wasVisible = state.visible;
    state.visible = command != SW_HIDE;
    Changed();
    return wasVisible;
}

BOOL CWnd::EnableWindow(BOOL enable) {
    BOOL wasDisabled = !state.enabled;
    state.enabled = enable != FALSE;
    Changed();
    return wasDisabled;
}

void CWnd::SetWindowText(const char* text) { SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)); }

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    CurrentUiBackend().MessageSent(*this, message, wParam, lParam);
    return WindowProc(message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case PBM_SETPOS: {
            int previous = state.position;
            state.position = std::clamp(static_cast<int>(wParam), 0, 100);
            Changed();
            return previous;
        }
        case BM_SETCHECK:
            state.check = static_cast<int>(wParam);
            Changed();
            return 0;
        case BM_GETCHECK:
            return state.check;
        case BM_CLICK:
            // An automatic check box turns itself over, then tells its dialog.
            if (state.kind == ControlKind::kCheckBox)
                state.check = state.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
            Changed();
            if (parent) parent->SendMessage(WM_COMMAND, MakeCommandParam(state.id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
            return 0;
        case WM_SETTEXT: {
            const char* text = reinterpret_cast<const char*>(lParam);
            state.text = text ? text : "";
            Changed();
            return TRUE;
        }
        case WM_SETFONT:
            state.font = reinterpret_cast<HFONT>(wParam);
            Changed(lParam != 0);
            return 0;
        case WM_SETICON: {
            HICON& slot = wParam == ICON_BIG ? state.bigIcon : state.smallIcon;
            HICON previous = slot;
            slot = reinterpret_cast<HICON>(lParam);
            Changed();
            return reinterpret_cast<LRESULT>(previous);
        }
        default:
            return 0;
    }
}

BOOL CWnd::RedrawWindow(const void*, const void*, UINT flags) {
    if (flags & RDW_UPDATENOW) ++state.repaints;
    Changed((flags & RDW_UPDATENOW) != 0);
    return TRUE;
}

void CWnd::SetFont(CFont* font, BOOL redraw) {
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font ? font->GetSafeHandle() : nullptr), redraw);
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

CWnd* CWnd::GetDlgItem(int id) const {
    for (CWnd* child : children)
        if (child->state.id == id) return child;
    return nullptr;
}

UINT_PTR CWnd::SetTimer(UINT_PTR timerId, UINT elapse, TIMERPROC callback) {
    return afx::SetTimer(hwnd, timerId, elapse, callback);
}

BOOL CWnd::KillTimer(UINT_PTR timerId) { return afx::KillTimer(hwnd, timerId); }

void CWnd::ClientToScreen(POINT* point) const {
    point->x += state.x + state.clientX;
    point->y += state.y + state.clientY;
}

void CWnd::GetClientRect(RECT* rect) const {
    rect->left = 0;
    rect->top = 0;
    rect->right = std::max(0, state.width - 2 * state.clientX);
    rect->bottom = std::max(0, state.height - state.clientY - state.clientX);
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int width, int height, UINT flags) {
    if (!(flags & SWP_NOMOVE)) {
        state.x = x;
        state.y = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        state.width = width;
        state.height = height;
    }
    state.insertAfter = insertAfter ? insertAfter->hwnd : nullptr;
    Changed();
    return TRUE;
}

void CWnd::DestroyWindow() {
    if (state.destroyed) return;
    for (auto& owned : ownedWindows) owned->DestroyWindow();
    for (CWnd* child : children) child->DestroyWindow();
    state.visible = false;
    CurrentUiBackend().WindowDestroyed(*this);
    state.destroyed = true;
}

void CWnd::AdoptOwnedWindow(std::unique_ptr<CWnd> window) {
    if (window) ownedWindows.push_back(std::move(window));
}

void DDX_Control(CDataExchange* exchange, int id, CWnd& control) {
    CWnd* dialog = exchange->Dialog();
    auto place = std::find_if(dialog->children.begin(), dialog->children.end(),
                              [id](CWnd* child) { return child->state.id == id; });
    if (place != dialog->children.end() && *place == &control) return;
    control.parent = dialog;
    if (place == dialog->children.end()) {
        control.state.id = id;
        dialog->children.push_back(&control);
        return;
    }
    // The member object takes the control over; the stand-in made from the
    // template goes.
    CWnd* standIn = *place;
    control.state = standIn->state;
    *place = &control;
    auto owned = std::find_if(dialog->ownedControls.begin(), dialog->ownedControls.end(),
                              [standIn](const std::unique_ptr<CWnd>& c) { return c.get() == standIn; });
    if (owned != dialog->ownedControls.end()) {
        standIn->state.destroyed = true;  // the window lives on as the member
        dialog->ownedControls.erase(owned);
    }
    control.Changed();
}

// ---- CDialogEx ----

CDialogEx::CDialogEx(UINT id, CWnd* parentWindow) : templateId(id) { parent = parentWindow; }

CDialogEx::~CDialogEx() = default;

INT_PTR CDialogEx::DoModal() {
    modalEnded = false;
    if (!created && !Create(templateId, parent)) return -1;
    if (!modalEnded) ShowWindow(SW_SHOW);
    INT_PTR answer = CurrentUiBackend().RunModal(*this);
    DestroyWindow();
    return answer;
}

void CDialogEx::CreateControls(const DialogTemplate& layout) {
    state.text = layout.title ? layout.title : "";
    state.style = layout.style;
    state.exStyle = layout.exStyle;
    state.rect = layout.rect;
    for (const ControlTemplate& control : layout.controls) {
        std::unique_ptr<CWnd> window;
        switch (control.kind) {
            case ControlKind::kPushButton:
            case ControlKind::kCheckBox:
            case ControlKind::kGroupBox:
                window = std::make_unique<CButton>();
                break;
            case ControlKind::kProgressBar:
                window = std::make_unique<CProgressCtrl>();
                break;
            case ControlKind::kEdit:
                window = std::make_unique<CEdit>();
                break;
            default:
                window = std::make_unique<CStatic>();
                break;
        }
        WindowState& s = window->state;
        s.id = control.id;
        s.kind = control.kind;
        s.text = control.text ? control.text : "";
        s.visible = control.visible;
        s.enabled = control.enabled;
        s.check = control.checked ? BST_CHECKED : BST_UNCHECKED;
        s.style = FullStyle(control);
        s.rect = control.rect;
        s.imageId = control.imageId;
        window->parent = this;
        children.push_back(window.get());
        ownedControls.push_back(std::move(window));
    }
}

BOOL CDialogEx::Create(UINT id, CWnd* parentWindow) {
    templateId = id;
    parent = parentWindow;
    children.clear();
    ownedControls.clear();
    state.destroyed = false;
    if (const DialogTemplate* layout = FindDialogTemplate(id)) {
        CreateControls(*layout);
        state.visible = (layout->style & WS_VISIBLE) != 0;
    }
    created = true;
    CurrentUiBackend().DialogCreated(*this);
    OnInitDialog();
    return TRUE;
}

void CDialogEx::EndDialog(int endResult) {
    result = endResult;
    modalEnded = true;
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

LRESULT CDialogEx::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            return OnCommand(static_cast<int>(static_cast<short>(wParam & 0xFFFF)));
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_MOVING:
            OnMoving(static_cast<UINT>(wParam), reinterpret_cast<RECT*>(lParam));
            return TRUE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<LRESULT>(OnQueryDragIcon());
        default:
            return CWnd::WindowProc(message, wParam, lParam);
    }
}

// ---- CWinApp and the system calls ----

// An application object made while another lives (a test's own) stands in
// for it until it ends, and then hands the framework back to the one before.
CWinApp::CWinApp(const char*) : previousApp(TheApp()) { TheApp() = this; }
CWinApp::~CWinApp() {
    if (TheApp() == this) TheApp() = previousApp;
}
BOOL CWinApp::InitInstance() { return TRUE; }
HICON CWinApp::LoadIcon(UINT iconId) const { return CurrentUiBackend().LoadIcon(iconId); }
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

bool ClearTaskbarProgress(HWND window) { return CurrentUiBackend().ClearTaskbarProgress(window); }

}  // namespace afx
