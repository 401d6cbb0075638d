// The Windows program's dialog resources, as the resource compiler builds
// them from the generated script, read back from the compiled resource file
// and held against the layouts: every dialog's style, frame, caption and font,
// and every control's id, class, text, rectangle and complete style (visible
// or hidden, enabled or disabled as the layout starts it).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app_win32/resgen/dialogs_rc.h"
#include "platform/posix/machine.h"
#include "ui/dialog_layouts.h"
#include "ui/resource_ids.h"

namespace {

namespace fs = std::filesystem;

// ---- The compiled resource file ----

struct CompiledControl {
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    int x = 0, y = 0, width = 0, height = 0;
    std::int32_t id = 0;
    std::string className;  // a predefined class by its name
    std::string text;       // UTF-8; an ordinal as "#n"
};

struct CompiledDialog {
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    int x = 0, y = 0, width = 0, height = 0;
    std::string title;
    int fontPoints = 0, fontWeight = 0, fontItalic = 0, fontCharset = 0;
    std::string fontFace;
    std::uint16_t language = 0;
    std::vector<CompiledControl> controls;
};

class Reader {
public:
    Reader(const std::string& bytes, std::size_t at, std::size_t end) : bytes(bytes), at(at), end(end) {}

    bool Ok() const { return ok; }
    std::size_t At() const { return at; }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
    std::uint32_t U32() { return U16() | static_cast<std::uint32_t>(U16()) << 16; }
    std::uint8_t Byte() {
        if (at >= end) {
            ok = false;
            return 0;
        }
        return static_cast<std::uint8_t>(bytes[at++]);
    }
    void AlignTo(std::size_t base, std::size_t n) {
        while ((at - base) % n) ++at;
    }
    // A zero-ended UTF-16 text, as UTF-8.
    std::string Text() {
        std::u16string wide;
        for (std::uint16_t c = U16(); ok && c; c = U16()) wide += static_cast<char16_t>(c);
        std::string out;
        for (char16_t c : wide) {
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else if (c < 0x800) {
                out += static_cast<char>(0xC0 | c >> 6);
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                out += static_cast<char>(0xE0 | c >> 12);
                out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        return out;
    }
    // A name or an ordinal: 0xFFFF then the number ("#n"), else a text.
    std::string NameOrOrdinal() {
        std::size_t mark = at;
        if (U16() == 0xFFFF) return "#" + std::to_string(U16());
        at = mark;
        return Text();
    }

private:
    const std::string& bytes;
    std::size_t at;
    std::size_t end;
    bool ok = true;
};

std::string PredefinedClass(const std::string& name) {
    static const std::map<std::string, std::string> ordinals = {
        {"#128", "Button"}, {"#129", "Edit"}, {"#130", "Static"}, {"#131", "ListBox"}, {"#133", "ComboBox"}};
    auto found = ordinals.find(name);
    return found == ordinals.end() ? name : found->second;
}

// One DLGTEMPLATEEX with its items.
bool ParseDialog(const std::string& bytes, std::size_t begin, std::size_t end, CompiledDialog* dialog) {
    Reader r(bytes, begin, end);
    if (r.U16() != 1 || r.U16() != 0xFFFF) return false;
    r.U32();  // help id
    dialog->exStyle = r.U32();
    dialog->style = r.U32();
    int count = r.U16();
    dialog->x = static_cast<std::int16_t>(r.U16());
    dialog->y = static_cast<std::int16_t>(r.U16());
    dialog->width = static_cast<std::int16_t>(r.U16());
    dialog->height = static_cast<std::int16_t>(r.U16());
    r.NameOrOrdinal();  // menu
    r.NameOrOrdinal();  // class
    dialog->title = r.Text();
    if (dialog->style & afx::DS_SETFONT) {
        dialog->fontPoints = r.U16();
        dialog->fontWeight = r.U16();
        dialog->fontItalic = r.Byte();
        dialog->fontCharset = r.Byte();
        dialog->fontFace = r.Text();
    }
    for (int i = 0; i < count && r.Ok(); ++i) {
        r.AlignTo(begin, 4);
        CompiledControl c;
        r.U32();  // help id
        c.exStyle = r.U32();
        c.style = r.U32();
        c.x = static_cast<std::int16_t>(r.U16());
        c.y = static_cast<std::int16_t>(r.U16());
        c.width = static_cast<std::int16_t>(r.U16());
        c.height = static_cast<std::int16_t>(r.U16());
        c.id = static_cast<std::int32_t>(r.U32());
        c.className = PredefinedClass(r.NameOrOrdinal());
        c.text = r.NameOrOrdinal();
        std::uint16_t extra = r.U16();
        for (std::uint16_t k = 0; k < extra; ++k) r.Byte();
        dialog->controls.push_back(c);
    }
    return r.Ok();
}

// Every dialog of a .res file (a sequence of resource headers and data).
std::map<int, CompiledDialog> ParseResourceFile(const std::string& bytes) {
    std::map<int, CompiledDialog> dialogs;
    std::size_t at = 0;
    while (at + 32 <= bytes.size()) {
        Reader r(bytes, at, bytes.size());
        std::uint32_t dataSize = r.U32();
        std::uint32_t headerSize = r.U32();
        std::string type = r.NameOrOrdinal();
        std::string name = r.NameOrOrdinal();
        r.AlignTo(at, 4);
        r.U32();  // data version
        r.U16();  // memory flags
        std::uint16_t language = r.U16();
        std::size_t data = at + headerSize;
        if (!r.Ok() || data + dataSize > bytes.size()) break;
        if (type == "#5" && name.size() > 1 && name[0] == '#') {
            CompiledDialog dialog;
            dialog.language = language;
            if (ParseDialog(bytes, data, data + dataSize, &dialog)) dialogs[std::atoi(name.c_str() + 1)] = dialog;
        }
        at = data + dataSize;
        while (at % 4) ++at;
    }
    return dialogs;
}

// ---- The compiler ----

std::string FindOnPath(const std::vector<std::string>& names) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    std::string folder;
    std::vector<std::string> all;
    while (std::getline(folders, folder, ':')) all.push_back(folder);
    for (const std::string& name : names)
        for (const std::string& f : all)
            if (!f.empty() && access((f + "/" + name).c_str(), X_OK) == 0) return f + "/" + name;
    return "";
}

// The generated dialogs compiled once for the whole suite.
class CompiledResources : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        compiler = FindOnPath({"i686-w64-mingw32-windres", "x86_64-w64-mingw32-windres", "windres"});
        if (compiler.empty()) return;
        fs::path folder = fs::temp_directory_path() / ("pw-resources-" + std::to_string(getpid()));
        fs::create_directories(folder);
        {
            std::ofstream rc(folder / "dialogs.rc", std::ios::binary);
            rc << "#pragma code_page(1252)\nLANGUAGE 0x09, 0x02\n\n";
            resgen::WriteDialogs(rc);
        }
        std::string command = "'" + compiler + "' -O res '" + (folder / "dialogs.rc").string() + "' '" +
                              (folder / "dialogs.res").string() + "' 2>'" + (folder / "errors.txt").string() + "'";
        if (std::system(command.c_str()) == 0) {
            std::ifstream res(folder / "dialogs.res", std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(res)), std::istreambuf_iterator<char>());
            dialogs = ParseResourceFile(bytes);
        } else {
            std::ifstream errors(folder / "errors.txt");
            compileErrors.assign((std::istreambuf_iterator<char>(errors)), std::istreambuf_iterator<char>());
            compileErrors += "(failed)";
        }
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    void SetUp() override {
        if (compiler.empty()) GTEST_SKIP() << "no resource compiler on this machine";
        ASSERT_EQ(compileErrors, "");
    }

    static std::string compiler;
    static std::string compileErrors;
    static std::map<int, CompiledDialog> dialogs;
};

std::string CompiledResources::compiler;
std::string CompiledResources::compileErrors;
std::map<int, CompiledDialog> CompiledResources::dialogs;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

TEST_F(CompiledResources, EveryDialogHasTheLayoutsStyleFrameCaptionAndFont) {
    ASSERT_EQ(dialogs.size(), AllDialogLayouts().size());
    for (const afx::DialogTemplate& layout : AllDialogLayouts()) {
        SCOPED_TRACE(layout.id);
        auto found = dialogs.find(static_cast<int>(layout.id));
        ASSERT_NE(found, dialogs.end());
        const CompiledDialog& d = found->second;
        EXPECT_EQ(d.style, layout.style) << std::hex << d.style << " against " << layout.style;
        EXPECT_EQ(d.exStyle, layout.exStyle);
        EXPECT_EQ(d.x, layout.rect.x);
        EXPECT_EQ(d.y, layout.rect.y);
        EXPECT_EQ(d.width, layout.rect.width);
        EXPECT_EQ(d.height, layout.rect.height);
        EXPECT_EQ(d.title, layout.title);
        EXPECT_EQ(d.fontFace, layout.fontFace);
        EXPECT_EQ(d.fontPoints, layout.fontPoints);
        EXPECT_EQ(d.fontWeight, layout.fontWeight);
        EXPECT_EQ(d.fontItalic, layout.fontItalic ? 1 : 0);
        EXPECT_EQ(d.fontCharset, layout.fontCharset);
        EXPECT_EQ(d.language, layout.language);
    }
}

TEST_F(CompiledResources, EveryControlHasTheLayoutsIdClassTextRectangleAndStyle) {
    for (const afx::DialogTemplate& layout : AllDialogLayouts()) {
        const CompiledDialog& d = dialogs[static_cast<int>(layout.id)];
        ASSERT_EQ(d.controls.size(), layout.controls.size()) << layout.id;
        for (std::size_t i = 0; i < layout.controls.size(); ++i) {
            const afx::ControlTemplate& want = layout.controls[i];
            const CompiledControl& got = d.controls[i];
            SCOPED_TRACE("dialog " + std::to_string(layout.id) + ", control " + std::to_string(want.id));
            EXPECT_EQ(got.id, want.id);
            EXPECT_EQ(Lower(got.className), Lower(afx::WindowClassOf(want.kind)));  // class names ignore case
            std::string text = want.kind == afx::ControlKind::kPicture ? "#" + std::to_string(want.imageId)
                                                                       : plat::posix::Utf8FromAnsi(want.text);
            EXPECT_EQ(got.text, text);
            EXPECT_EQ(got.x, want.rect.x);
            EXPECT_EQ(got.y, want.rect.y);
            EXPECT_EQ(got.width, want.rect.width);
            EXPECT_EQ(got.height, want.rect.height);
            EXPECT_EQ(got.style, afx::FullStyle(want)) << std::hex << got.style << " against " << afx::FullStyle(want);
            EXPECT_EQ((got.style & afx::WS_VISIBLE) != 0, want.visible);
            EXPECT_EQ((got.style & afx::WS_DISABLED) == 0, want.enabled);
            EXPECT_EQ(got.exStyle, 0u);
        }
    }
}

// The detection page's found-state pair starts hidden: on screen only the
// search text and the progress bar share their place while searching.
TEST_F(CompiledResources, TheDetectionPagesFoundStateControlsStartHidden) {
    const CompiledDialog& d = dialogs[IDD_DETECT_VERSION];
    std::map<int, std::uint32_t> styles;
    for (const CompiledControl& c : d.controls) styles[c.id] = c.style;
    ASSERT_TRUE(styles.count(1006) && styles.count(1010) && styles.count(1004) && styles.count(1008));
    EXPECT_EQ(styles[1006] & afx::WS_VISIBLE, 0u);
    EXPECT_EQ(styles[1010] & afx::WS_VISIBLE, 0u);
    EXPECT_NE(styles[1010] & afx::WS_DISABLED, 0u);
    EXPECT_NE(styles[1004] & afx::WS_VISIBLE, 0u);
    EXPECT_NE(styles[1008] & afx::WS_VISIBLE, 0u);
}

// The script names the bits the compiler would otherwise decide.
TEST(ResourceScript, StatesTheBitsTheCompilerAddsOrDrops) {
    std::ostringstream out;
    resgen::WriteDialog(out, *FindDialogLayout(IDD_DETECT_VERSION));
    std::string script = out.str();
    EXPECT_NE(script.find("CONTROL \"We have detected your previous installation at the following location:\", "
                          "1006, \"Static\", NOT WS_VISIBLE | 0x00000000 | WS_CHILD, 70, 44, 439, 14"),
              std::string::npos)
        << script;
    EXPECT_NE(script.find("CONTROL \"Cancel\", 1001, \"Button\", 0x00010000 | WS_CHILD | WS_VISIBLE,"),
              std::string::npos)
        << script;
    EXPECT_NE(script.find("STYLE 0x80000000 | DS_SETFONT\n"), std::string::npos) << script;
    std::ostringstream host;
    resgen::WriteDialog(host, *FindDialogLayout(IDD_PATCHWELL_DIALOG));
    EXPECT_NE(host.str().find("STYLE 0x900E0000 | WS_CAPTION | DS_SETFONT\n"), std::string::npos) << host.str();
}

}  // namespace
