// The small dialog framework the wizard is written against: the classes and
// calls the installer uses of the Windows dialog framework, and no more.
//
// Every window keeps its state here (text, visibility, enabled, check state,
// progress position, font), so that the logic and the tests read it alike on
// every build. A backend (headless for tests and --unattended, a terminal, or
// real Win32 windows) draws that state and delivers the user's input, the
// timers and the message boxes (see ui_backend.h).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/dialog_template.h"

struct HWND__;
struct HFONT__;
struct HICON__;

namespace afx {

using BOOL = int;
using UINT_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using HWND = ::HWND__*;
using HFONT = ::HFONT__*;
using HICON = ::HICON__*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Messages the installer sends and the framework routes.
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUERYDRAGICON = 0x0037;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOVING = 0x0216;
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BM_CLICK = 0x00F5;
constexpr UINT PBM_SETPOS = 0x0402;
constexpr UINT BN_CLICKED = 0;
constexpr WPARAM ICON_SMALL = 0;
constexpr WPARAM ICON_BIG = 1;
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT USER_TIMER_MINIMUM = 10;

constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;
constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr UINT MB_YESNO = 0x04;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT RDW_INVALIDATE = 0x0001;
constexpr UINT RDW_ERASE = 0x0004;
constexpr UINT RDW_UPDATENOW = 0x0100;
constexpr UINT kRedrawNow = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;  // 0x105

constexpr WPARAM MakeCommandParam(int controlId, UINT notification) {
    return (static_cast<WPARAM>(notification & 0xFFFF) << 16) | static_cast<WPARAM>(controlId & 0xFFFF);
}

struct POINT {
    int x = 0;
    int y = 0;
};

struct RECT {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

using TIMERPROC = void (*)(HWND window, UINT message, UINT_PTR timerId, DWORD time);

class CWnd;

// A font: the face, the height and the weight are all the wizard sets.
class CFont {
public:
    CFont() = default;
    ~CFont();
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;
    // CreateFontA with the arguments the installer passes: height, face.
    BOOL CreateFont(int height, int weight, const char* face);
    HFONT GetSafeHandle() const { return handle; }
    operator HFONT() const { return handle; }
    const std::string& Face() const { return face; }
    int Height() const { return height; }

private:
    HFONT handle = nullptr;
    std::string face;
    int height = 0;
};

// The state of one window or control, as the tests and the backends read it.
// Positions and sizes are in pixels of the screen; rect keeps the template's
// rectangle in dialog units.
struct WindowState {
    int id = 0;                 // control id; 0 for a dialog
    ControlKind kind = ControlKind::kDialog;
    std::string text;           // code page 1252
    bool visible = false;
    bool enabled = true;
    int check = BST_UNCHECKED;  // check boxes
    int position = 0;           // progress bars (range 0 to 100)
    HFONT font = nullptr;       // nullptr: the dialog's own font
    int repaints = 0;           // forced repaints (RedrawWindow with RDW_UPDATENOW)
    DWORD style = 0;
    DWORD exStyle = 0;
    DialogRect rect;            // dialog units, from the template
    int imageId = 0;            // a picture's bitmap resource
    int x = 0;                  // the window's top-left corner on the screen
    int y = 0;
    int width = 0;
    int height = 0;
    int clientX = 0;            // the client area's origin, relative to x and y
    int clientY = 0;
    HWND insertAfter = nullptr; // the window this one was last placed behind
    bool minimised = false;
    bool destroyed = false;     // DestroyWindow ran (the object may live on)
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
};

class CWnd {
public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return hwnd; }
    operator HWND() const { return hwnd; }
    static CWnd* FromHandle(HWND hwnd);

    BOOL ShowWindow(int command);
    BOOL EnableWindow(BOOL enable);
    BOOL IsWindowVisible() const { return state.visible; }
    BOOL IsWindowEnabled() const { return state.enabled; }
    BOOL IsIconic() const { return state.minimised; }
    void SetWindowText(const char* text);
    std::string GetWindowText() const { return state.text; }
    // Delivers the message to the window at once (WindowProc).
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL RedrawWindow(const void* rect = nullptr, const void* region = nullptr, UINT flags = kRedrawNow);
    void SetFont(CFont* font, BOOL redraw = TRUE);
    HICON SetIcon(HICON icon, BOOL bigIcon);
    int GetDlgCtrlID() const { return state.id; }
    // A control of this dialog by id; nullptr when there is none.
    CWnd* GetDlgItem(int id) const;
    // The dialog's controls in template order.
    const std::vector<CWnd*>& Children() const { return children; }
    UINT_PTR SetTimer(UINT_PTR timerId, UINT elapse, TIMERPROC callback);
    BOOL KillTimer(UINT_PTR timerId);
    void ClientToScreen(POINT* point) const;
    void GetClientRect(RECT* rect) const;
    // Moves (unless SWP_NOMOVE) and sizes (unless SWP_NOSIZE) the window,
    // placing it behind insertAfter.
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int width, int height, UINT flags);
    // Destroys the window: it disappears with its timers, its controls and
    // the windows it owns. The C++ object lives on until it is deleted.
    void DestroyWindow();
    // Hands a window over to this one, which deletes it with itself (the
    // windows a dialog owns go with it).
    void AdoptOwnedWindow(std::unique_ptr<CWnd> window);

    const WindowState& State() const { return state; }
    // For backends: the state they keep up to date (position, size, minimised).
    WindowState& MutableState() { return state; }
    CWnd* Parent() const { return parent; }

protected:
    // What the window does with a message; dialogs route theirs to their handlers.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    void Changed(bool drawNow = false);

    friend class CDialogEx;
    friend void DDX_Control(class CDataExchange* exchange, int id, CWnd& control);
    WindowState state;
    CWnd* parent = nullptr;
    HWND hwnd = nullptr;
    std::vector<CWnd*> children;                    // a dialog's controls, in template order
    std::vector<std::unique_ptr<CWnd>> ownedControls;  // those not bound to a member object
    std::vector<std::unique_ptr<CWnd>> ownedWindows;   // pages and other windows this one owns
};

class CStatic : public CWnd {};
class CEdit : public CWnd {};
class CButton : public CWnd {
public:
    int GetCheck() { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
};
class CProgressCtrl : public CWnd {
public:
    int GetPos() const { return state.position; }
};

// DoDataExchange's argument: binds control objects to the dialog's controls.
class CDataExchange {
public:
    explicit CDataExchange(CWnd* dialog) : dialog(dialog) {}
    CWnd* Dialog() const { return dialog; }

private:
    CWnd* dialog;
};

// Binds a control object of the dialog to the control with that id: the
// object takes over the control's state and place, and GetDlgItem gives it.
void DDX_Control(CDataExchange* exchange, int id, CWnd& control);

class CDialogEx : public CWnd {
public:
    CDialogEx(UINT templateId, CWnd* parent = nullptr);
    ~CDialogEx() override;

    // Creates the dialog, runs it modally until EndDialog or the quit
    // message, then destroys its window. -1 when the quit message ended it.
    INT_PTR DoModal();
    // Creates the dialog modelessly from its template: the window and its
    // controls, then OnInitDialog. The dialog stays hidden until shown,
    // unless its template says visible.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    // Ends a modal run; a modeless dialog is only hidden.
    void EndDialog(int result);

    UINT TemplateId() const { return templateId; }
    bool ModalEnded() const { return modalEnded; }
    int Result() const { return result; }

    // What the dialog does with its messages (its message map).
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* exchange);
    // WM_COMMAND from a control (a click) or from the keyboard (IDOK for
    // Enter, IDCANCEL for Escape); true when handled. The default routes
    // IDOK to OnOK and IDCANCEL to OnCancel.
    virtual BOOL OnCommand(int controlId);
    // WM_CLOSE: the default ends the dialog as Cancel does.
    virtual void OnClose();
    virtual void OnPaint() {}
    // WM_MOVING: the side being dragged and the proposed window rectangle.
    virtual void OnMoving(UINT /*side*/, RECT* /*rect*/) {}
    virtual HICON OnQueryDragIcon() { return nullptr; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    UINT templateId;
    bool created = false;
    bool modalEnded = false;
    int result = 0;

private:
    void CreateControls(const DialogTemplate& layout);
};

class CWinApp {
public:
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual BOOL InitInstance();
    void SetRegistryKey(const char* key) { registryKey = key; }
    // The icon resource with that id (LoadIcon).
    HICON LoadIcon(UINT iconId) const;

    CWnd* m_pMainWnd = nullptr;

private:
    std::string registryKey;
    CWinApp* previousApp;
};

// The application object, as the framework's AfxGetApp gives it.
CWinApp* AfxGetApp();

// System calls on windows, timers and message boxes.
UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT elapse, TIMERPROC callback);
BOOL KillTimer(HWND window, UINT_PTR timerId);
// A message box with its own message loop, which goes on delivering every
// timer of the program while the box is open.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT flags);
void PostQuitMessage(int exitCode);
BOOL RedrawWindow(HWND window, const void* rect, const void* region, UINT flags);
// The taskbar button of window shows no progress (ITaskbarList3 with
// TBPF_NOPROGRESS); false when the system offers no taskbar interface.
bool ClearTaskbarProgress(HWND window);

}  // namespace afx
