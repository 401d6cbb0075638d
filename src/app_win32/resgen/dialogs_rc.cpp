#include "app_win32/resgen/dialogs_rc.h"

#include <cstdio>

#include "ui/dialog_layouts.h"

namespace resgen {
namespace {

const char* WindowClassOf(afx::ControlKind kind) {
    switch (kind) {
        case afx::ControlKind::kGroupBox:
        case afx::ControlKind::kPushButton:
        case afx::ControlKind::kCheckBox:
            return "Button";
        case afx::ControlKind::kProgressBar:
            return "msctls_progress32";
        case afx::ControlKind::kEdit:
            return "Edit";
        default:
            return "Static";
    }
}

std::string Hex(afx::DWORD value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(value));
    return buffer;
}

}  // namespace

std::string RcString(const char* text) {
    std::string out = "\"";
    for (const char* p = text ? text : ""; *p; ++p) {
        if (*p == '"') out += "\"\"";
        else if (*p == '\\') out += "\\\\";
        else out += *p;
    }
    return out + "\"";
}

void WriteDialog(std::ostream& out, const afx::DialogTemplate& dialog) {
    const afx::DialogRect& r = dialog.rect;
    out << dialog.id << " DIALOGEX " << r.x << ", " << r.y << ", " << r.width << ", " << r.height << "\n"
        << "LANGUAGE " << (dialog.language & 0x3FF) << ", " << (dialog.language >> 10) << "\n"
        << "STYLE " << Hex(dialog.style) << "\n"
        << "EXSTYLE " << Hex(dialog.exStyle) << "\n";
    if (dialog.title && *dialog.title) out << "CAPTION " << RcString(dialog.title) << "\n";
    out << "FONT " << dialog.fontPoints << ", " << RcString(dialog.fontFace) << ", " << dialog.fontWeight << ", "
        << (dialog.fontItalic ? 1 : 0) << ", " << dialog.fontCharset << "\n"
        << "BEGIN\n";
    for (const afx::ControlTemplate& c : dialog.controls) {
        // A picture names its bitmap resource in place of a text.
        std::string text = c.kind == afx::ControlKind::kPicture ? std::to_string(c.imageId) : RcString(c.text);
        out << "    CONTROL " << text << ", " << c.id << ", \"" << WindowClassOf(c.kind) << "\", "
            << Hex(afx::FullStyle(c)) << ", " << c.rect.x << ", " << c.rect.y << ", " << c.rect.width << ", "
            << c.rect.height << "\n";
    }
    out << "END\n\n";
}

void WriteDialogs(std::ostream& out) {
    for (afx::UINT id : {102u, 134u, 136u, 137u, 138u, 139u}) {
        if (const afx::DialogTemplate* dialog = FindDialogLayout(id)) WriteDialog(out, *dialog);
    }
}

}  // namespace resgen
