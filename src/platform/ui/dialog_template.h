// Dialog templates: what the framework builds a dialog's window and controls
// from. The tables themselves belong to the user-interface layer, which hands
// the framework a function that finds a template by its resource id; the
// Windows build turns the same tables into its dialog resources and a
// terminal backend draws from them.
#pragma once

#include <cstdint>
#include <vector>

namespace afx {

using UINT = unsigned int;
using DWORD = std::uint32_t;

// Window styles (the values of the Windows headers).
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;
constexpr DWORD DS_SETFONT = 0x40;
constexpr DWORD BS_PUSHBUTTON = 0x0;
constexpr DWORD BS_AUTOCHECKBOX = 0x3;
constexpr DWORD BS_GROUPBOX = 0x7;
constexpr DWORD SS_LEFT = 0x0;
constexpr DWORD SS_BLACKFRAME = 0x7;
constexpr DWORD SS_BITMAP = 0xE;
constexpr DWORD ES_AUTOHSCROLL = 0x80;

// An identifier for controls the code never addresses (pictures, frames).
constexpr int IDC_STATIC = -1;

enum class ControlKind {
    kDialog,       // the dialog window itself
    kGroupBox,     // "BUTTON", BS_GROUPBOX
    kText,         // "STATIC", SS_LEFT
    kPushButton,   // "BUTTON", BS_PUSHBUTTON
    kCheckBox,     // "BUTTON", BS_AUTOCHECKBOX
    kProgressBar,  // "msctls_progress32", range 0 to 100
    kEdit,         // "EDIT"
    kPicture,      // "STATIC", SS_BITMAP: takes the size of its bitmap
    kBlackFrame,   // "STATIC", SS_BLACKFRAME
};

// A rectangle in dialog units: x, y, width, height.
struct DialogRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct ControlTemplate {
    int id = IDC_STATIC;
    ControlKind kind = ControlKind::kText;
    const char* text = "";     // code page 1252, like every narrow string here
    DialogRect rect;           // a picture's width and height are 0: it takes its bitmap's size
    DWORD style = 0;           // the kind's style bits plus WS_TABSTOP / WS_BORDER; see FullStyle
    bool visible = true;
    bool enabled = true;
    bool checked = false;
    int imageId = 0;           // a picture's bitmap resource
    bool titleFont = false;    // the page gives it the heading font when it initialises
    bool bound = false;        // the page binds it to a control object
};

struct DialogTemplate {
    UINT id = 0;
    const char* title = "";
    DWORD style = 0;
    DWORD exStyle = 0;
    DialogRect rect;
    const char* fontFace = "";
    int fontPoints = 0;
    int fontWeight = 0;
    bool fontItalic = false;
    int fontCharset = 0;
    int language = 0;          // a Windows language identifier, 0x0809 English (United Kingdom)
    std::vector<ControlTemplate> controls;  // in template order (tab order, creation order)
};

// The complete window style of a control: WS_CHILD, its style bits, and
// WS_VISIBLE / WS_DISABLED from its initial state.
inline DWORD FullStyle(const ControlTemplate& control) {
    return WS_CHILD | control.style | (control.visible ? WS_VISIBLE : 0) | (control.enabled ? 0 : WS_DISABLED);
}

// The window class a control of that kind has on Windows.
inline const char* WindowClassOf(ControlKind kind) {
    switch (kind) {
        case ControlKind::kGroupBox:
        case ControlKind::kPushButton:
        case ControlKind::kCheckBox:
            return "Button";
        case ControlKind::kProgressBar:
            return "msctls_progress32";
        case ControlKind::kEdit:
            return "Edit";
        default:
            return "Static";
    }
}

// Where the framework finds its templates; nullptr when there is none.
using DialogTemplateSource = const DialogTemplate* (*)(UINT templateId);
void SetDialogTemplateSource(DialogTemplateSource source);
const DialogTemplate* FindDialogTemplate(UINT templateId);

}  // namespace afx
