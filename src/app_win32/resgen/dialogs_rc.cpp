#include "app_win32/resgen/dialogs_rc.h"

#include <cstdio>
#include <initializer_list>

#include "ui/dialog_layouts.h"

namespace resgen {
namespace {

std::string Hex(afx::DWORD value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(value));
    return buffer;
}

struct NamedBit {
    const char* name;
    afx::DWORD bit;
};

// The bits a statement gives a window whatever its style says: a CONTROL
// starts as WS_CHILD | WS_VISIBLE, a CAPTION adds WS_CAPTION and a FONT adds
// DS_SETFONT. Each is named in the style expression, set or cleared with
// NOT, so that the compiled style is exactly the layout's.
constexpr NamedBit kChild{"WS_CHILD", afx::WS_CHILD};
constexpr NamedBit kVisible{"WS_VISIBLE", afx::WS_VISIBLE};
constexpr NamedBit kCaption{"WS_CAPTION", afx::WS_CAPTION};
constexpr NamedBit kSetFont{"DS_SETFONT", afx::DS_SETFONT};

// The named bits that style lacks cleared first, then its other bits in
// hexadecimal (a part of a cleared name included), then the named bits it has.
std::string StyleExpression(afx::DWORD style, std::initializer_list<NamedBit> named) {
    std::string cleared;
    std::string set;
    afx::DWORD rest = style;
    for (const NamedBit& b : named) {
        if ((style & b.bit) == b.bit) {
            rest &= ~b.bit;
            set += std::string(" | ") + b.name;
        } else {
            cleared += std::string("NOT ") + b.name + " | ";
        }
    }
    return cleared + Hex(rest) + set;
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
    bool captioned = dialog.title && *dialog.title;
    out << dialog.id << " DIALOGEX " << r.x << ", " << r.y << ", " << r.width << ", " << r.height << "\n"
        << "LANGUAGE " << (dialog.language & 0x3FF) << ", " << (dialog.language >> 10) << "\n";
    // The caption and the font come before the style, which then states
    // their bits as the layout has them.
    if (captioned) out << "CAPTION " << RcString(dialog.title) << "\n";
    out << "FONT " << dialog.fontPoints << ", " << RcString(dialog.fontFace) << ", " << dialog.fontWeight << ", "
        << (dialog.fontItalic ? 1 : 0) << ", " << dialog.fontCharset << "\n"
        << "STYLE "
        << (captioned ? StyleExpression(dialog.style, {kCaption, kSetFont})
                      : StyleExpression(dialog.style, {kSetFont}))
        << "\n"
        << "EXSTYLE " << Hex(dialog.exStyle) << "\n"
        << "BEGIN\n";
    for (const afx::ControlTemplate& c : dialog.controls) {
        // A picture names its bitmap resource in place of a text.
        std::string text = c.kind == afx::ControlKind::kPicture ? std::to_string(c.imageId) : RcString(c.text);
        out << "    CONTROL " << text << ", " << c.id << ", \"" << afx::WindowClassOf(c.kind) << "\", "
            << StyleExpression(afx::FullStyle(c), {kChild, kVisible}) << ", " << c.rect.x << ", " << c.rect.y
            << ", " << c.rect.width << ", " << c.rect.height << "\n";
    }
    out << "END\n\n";
}

void WriteStyleNames(std::ostream& out) {
    out << "// The window styles the dialogs name (the values of the Windows headers).\n";
    for (const NamedBit& b : {kChild, kVisible, kCaption, kSetFont}) {
        out << "#ifndef " << b.name << "\n#define " << b.name << " " << Hex(b.bit) << "\n#endif\n";
    }
    out << "\n";
}

void WriteDialogs(std::ostream& out) {
    WriteStyleNames(out);
    for (afx::UINT id : {102u, 134u, 136u, 137u, 138u, 139u}) {
        if (const afx::DialogTemplate* dialog = FindDialogLayout(id)) WriteDialog(out, *dialog);
    }
}

}  // namespace resgen
