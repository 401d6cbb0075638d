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

struct HWND__;
struct HFONT__;

namespace afx {

using UINT = unsigned int;
using BOOL = int;
using DWORD = std::uint32_t;
using UINT_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using HWND = ::HWND__*;
using HFONT = ::HFONT__*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Messages the installer sends.
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BM_CLICK = 0x00F5;
constexpr UINT PBM_SETPOS = 0x0402;

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
struct WindowState {
    int id = 0;                 // control id; 0 for a dialog
    std::string text;
    bool visible = false;
    bool enabled = true;
    int check = BST_UNCHECKED;  // check boxes
    int position = 0;           // progress bars (range 0 to 100)
    HFONT font = nullptr;
    int repaints = 0;           // forced repaints (RedrawWindow with RDW_UPDATENOW)
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
    void SetWindowText(const char* text);
    std::string GetWindowText() const { return state.text; }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL RedrawWindow(const void* rect = nullptr, const void* region = nullptr, UINT flags = kRedrawNow);
    void SetFont(CFont* font, BOOL redraw = TRUE);
    int GetDlgCtrlID() const { return state.id; }
    // A control of this dialog by id; nullptr when there is none.
    CWnd* GetDlgItem(int id) const;
    UINT_PTR SetTimer(UINT_PTR timerId, UINT elapse, TIMERPROC callback);
    BOOL KillTimer(UINT_PTR timerId);

    const WindowState& State() const { return state; }
    CWnd* Parent() const { return parent; }

protected:
    friend class CDialogEx;
    friend void DDX_Control(class CDataExchange* exchange, int id, CWnd& control);
    WindowState state;
    CWnd* parent = nullptr;
    HWND hwnd = nullptr;
    std::map<int, CWnd*> controls;                 // a dialog's controls by id
    std::vector<std::unique_ptr<CWnd>> ownedControls;  // those not bound to a member object
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
    int SetPos(int position) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position))); }
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

// Binds a control object of the dialog to the control with that id.
void DDX_Control(CDataExchange* exchange, int id, CWnd& control);

class CDialogEx : public CWnd {
public:
    CDialogEx(UINT templateId, CWnd* parent = nullptr);
    ~CDialogEx() override;

    // Runs the dialog modally until EndDialog or the quit message.
    INT_PTR DoModal();
    // Creates the dialog modelessly from its template; runs OnInitDialog.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    void EndDialog(int result);

    UINT TemplateId() const { return templateId; }
    bool IsCreated() const { return created; }

    // What the dialog does with its messages (its message map).
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* exchange);
    // A button or check box with this id was clicked; true when handled.
    virtual BOOL OnCommand(int controlId);
    // WM_CLOSE: the default ends the dialog as Cancel does.
    virtual void OnClose();
    virtual void OnPaint() {}
    virtual void OnMoving() {}

protected:
    UINT templateId;
    bool created = false;
    int result = 0;
};

class CWinApp {
public:
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual BOOL InitInstance();
    void SetRegistryKey(const char* key) { registryKey = key; }

    CWnd* m_pMainWnd = nullptr;

private:
    std::string registryKey;
};

// The application object, as the framework's AfxGetApp gives it.
CWinApp* AfxGetApp();

// System calls on windows, timers and message boxes.
UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT elapse, TIMERPROC callback);
BOOL KillTimer(HWND window, UINT_PTR timerId);
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT flags);
void PostQuitMessage(int exitCode);
BOOL RedrawWindow(HWND window, const void* rect, const void* region, UINT flags);

}  // namespace afx
