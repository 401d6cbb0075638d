#include "platform/ui/posix/terminal_screen.h"

#include <algorithm>
#include <cmath>

#include "platform/posix/codepage.h"

namespace afx {
namespace {

// The side picture (bitmap 132, 85 x 277 pixels) in dialog units of the
// templates' font: 6 x 13 pixels per 4 x 8 units.
constexpr int kPictureWidthUnits = 85 * 4 / 6;
// Beyond these a larger terminal only adds space around the page.
constexpr double kMaxScaleX = 0.34;
constexpr double kMaxScaleY = 0.2;

std::u32string DecodeUtf8(const std::string& utf8) {
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : 3;
        char32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; k <= extra && i + k < utf8.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        out += cp;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

std::u32string Ascii(const char* text) {
    std::u32string out;
    for (; *text; ++text) out += static_cast<char32_t>(static_cast<unsigned char>(*text));
    return out;
}

bool Shown(const CWnd& window) { return window.State().visible && !window.State().destroyed; }

unsigned char AttrOf(const WindowState& s) {
    unsigned char attr = s.font ? kAttrBold : kAttrNone;
    if (!s.enabled) attr |= kAttrDim;
    return attr;
}

bool IsSingleLine(ControlKind kind) {
    return kind == ControlKind::kPushButton || kind == ControlKind::kCheckBox || kind == ControlKind::kEdit ||
           kind == ControlKind::kProgressBar;
}

// Cells taken by the controls of the page, so that a text may run on to the
// right and below only where nothing else stands.
class Occupancy {
public:
    Occupancy(int columns, int rows) : columns(columns), rows(rows), owner(static_cast<std::size_t>(columns * rows)) {}
    void Take(const CellRect& r, const CWnd* control) {
        for (int row = std::max(0, r.row); row < std::min(rows, r.row + r.height); ++row)
            for (int col = std::max(0, r.col); col < std::min(columns, r.col + r.width); ++col)
                owner[static_cast<std::size_t>(row * columns + col)] = control;
    }
    bool Free(int col, int row, int width, const CWnd* self) const {
        if (row < 0 || row >= rows) return false;
        for (int c = std::max(0, col); c < std::min(columns, col + width); ++c) {
            const CWnd* o = owner[static_cast<std::size_t>(row * columns + c)];
            if (o && o != self) return false;
        }
        return true;
    }

private:
    int columns;
    int rows;
    std::vector<const CWnd*> owner;
};

struct Placed {
    CWnd* control = nullptr;
    CellRect cells;  // where it is drawn
};

class PageDrawer {
public:
    PageDrawer(TerminalCanvas& canvas, const CWnd& page, const CWnd* focus, std::vector<HitRegion>* hits)
        : canvas(canvas), page(page), focus(focus), hits(hits), taken(canvas.Columns(), canvas.Rows()) {
        scale = ChooseScale(canvas.Columns(), canvas.Rows(), page.State().rect);
    }

    void Draw() {
        Place();
        for (Placed& p : placed) DrawControl(p);
    }

private:
    // Group box interior: where texts may run on to.
    CellRect Interior() const {
        for (const Placed& p : placed)
            if (p.control->State().kind == ControlKind::kGroupBox)
                return CellRect{p.cells.col + 1, p.cells.row + 1, p.cells.width - 2, p.cells.height - 2};
        return CellRect{0, 1, canvas.Columns(), canvas.Rows() - 1};
    }

    void Place() {
        for (CWnd* control : page.Children()) {
            if (!Shown(*control)) continue;
            const WindowState& s = control->State();
            DialogRect rect = s.rect;
            if (s.kind == ControlKind::kPicture) {
                rect.width = kPictureWidthUnits;
                rect.height = std::max(0, page.State().rect.height - 7 - rect.y);
            }
            CellRect cells = CellsOf(rect, scale);
            // A frame's last row is its bottom line, inside the rectangle.
            if (s.kind == ControlKind::kGroupBox && cells.row + cells.height < canvas.Rows()) ++cells.height;
            if (IsSingleLine(s.kind)) {
                cells.row = scale.originRow + static_cast<int>(std::floor((rect.y + rect.height / 2.0) * scale.y));
                cells.height = 1;
            }
            placed.push_back(Placed{control, cells});
        }
        SeparateButtons();
        // Texts first: the buttons and fields drawn in one line keep their
        // cells where a text's rectangle reaches into them.
        for (bool lines : {false, true}) {
            for (const Placed& p : placed) {
                ControlKind kind = p.control->State().kind;
                bool flowing = kind == ControlKind::kText || kind == ControlKind::kCheckBox;
                bool fixed = kind == ControlKind::kPushButton || kind == ControlKind::kEdit ||
                             kind == ControlKind::kProgressBar;
                if ((lines ? fixed : flowing)) taken.Take(p.cells, p.control);
            }
        }
        CellRect inside = Interior();
        // Texts and check boxes run on to the right, then downwards, over
        // cells no other control takes: a cell holds fewer letters than the
        // dialog units of the window it stands for.
        for (Placed& p : placed) {
            ControlKind kind = p.control->State().kind;
            if (kind != ControlKind::kText && kind != ControlKind::kCheckBox) continue;
            CellRect& c = p.cells;
            // From its first cell: a wider button may stand in its own rectangle.
            int right = c.col + 1;
            while (right < inside.col + inside.width && taken.Free(right, c.row, 1, p.control)) {
                bool rowsFree = true;
                for (int row = c.row; row < c.row + c.height; ++row) rowsFree = rowsFree && taken.Free(right, row, 1, p.control);
                if (!rowsFree) break;
                ++right;
            }
            c.width = right - c.col;
            int needed = static_cast<int>(
                WrapText(Label(*p.control), c.width - (kind == ControlKind::kCheckBox ? 4 : 0), 1000).size());
            while (c.height < needed && c.row + c.height < inside.row + inside.height &&
                   taken.Free(c.col, c.row + c.height, c.width, p.control))
                ++c.height;
            taken.Take(c, p.control);
        }
    }

    // Buttons on one row must not run into each other: each gets its label's
    // width, kept left of the button to its right.
    void SeparateButtons() {
        std::vector<Placed*> buttons;
        for (Placed& p : placed)
            if (p.control->State().kind == ControlKind::kPushButton) buttons.push_back(&p);
        std::sort(buttons.begin(), buttons.end(), [](const Placed* a, const Placed* b) {
            return a->cells.row != b->cells.row ? a->cells.row < b->cells.row : a->cells.col > b->cells.col;
        });
        int limit = 0;
        int row = -1;
        for (Placed* p : buttons) {
            CellRect& c = p->cells;
            int label = static_cast<int>(ButtonLabel(*p->control, c.width).size());
            int right = c.col + c.width;
            if (c.row != row) {
                row = c.row;
                limit = canvas.Columns();
            }
            if (label > c.width) c.col = right - label;
            c.width = std::max(c.width, label);
            if (c.col + c.width > limit) c.col = limit - c.width;
            limit = c.col - 1;
        }
    }

    static std::u32string Label(const CWnd& control) { return CodePointsOfAnsi(control.State().text); }
    // "[ Start » ]", or "[Start »]" where the button's rectangle is narrow.
    static std::u32string ButtonLabel(const CWnd& control, int width) {
        std::u32string label = Label(control);
        return static_cast<int>(label.size()) + 4 <= width ? U"[ " + label + U" ]" : U"[" + label + U"]";
    }

    void Hit(const CellRect& c, CWnd* control) {
        if (hits) hits->push_back(HitRegion{c.col, c.row, c.width, control, 0});
    }

    void DrawControl(Placed& p) {
        const WindowState& s = p.control->State();
        const CellRect& c = p.cells;
        unsigned char attr = AttrOf(s);
        bool focused = p.control == focus;
        switch (s.kind) {
            case ControlKind::kGroupBox: {
                canvas.Frame(c.col, c.row, c.width, c.height, kAttrNone);
                std::u32string title = U" " + Label(*p.control) + U" ";
                canvas.Put(c.col + 2, c.row, title.substr(0, static_cast<std::size_t>(std::max(0, c.width - 4))), attr);
                break;
            }
            case ControlKind::kPicture: {
                CellRect inside = Interior();
                int bottom = std::min(c.row + c.height, inside.row + inside.height);
                canvas.Fill(c.col, c.row, c.width, bottom - c.row, U'\u2591', kAttrDim);
                break;
            }
            case ControlKind::kBlackFrame:
                canvas.Frame(c.col, c.row, c.width, c.height, kAttrNone);
                break;
            case ControlKind::kText: {
                std::vector<std::u32string> lines = WrapText(Label(*p.control), c.width, c.height);
                for (std::size_t i = 0; i < lines.size(); ++i)
                    canvas.Put(c.col, c.row + static_cast<int>(i), lines[i], attr);
                break;
            }
            case ControlKind::kPushButton: {
                std::u32string label = ButtonLabel(*p.control, c.width);
                int col = c.col + (c.width - static_cast<int>(label.size())) / 2;
                canvas.Put(col, c.row, label, static_cast<unsigned char>(attr | (focused ? kAttrReverse : 0)));
                Hit(CellRect{col, c.row, static_cast<int>(label.size()), 1}, p.control);
                break;
            }
            case ControlKind::kCheckBox: {
                std::u32string box = s.check == BST_CHECKED ? U"[x]" : U"[ ]";
                canvas.Put(c.col, c.row, box, static_cast<unsigned char>(attr | (focused ? kAttrReverse : 0)));
                std::vector<std::u32string> lines = WrapText(Label(*p.control), c.width - 4, c.height);
                for (std::size_t i = 0; i < lines.size(); ++i)
                    canvas.Put(c.col + 4, c.row + static_cast<int>(i), lines[i], attr);
                Hit(CellRect{c.col, c.row, c.width, 1}, p.control);
                break;
            }
            case ControlKind::kEdit: {
                std::u32string text = Label(*p.control);
                int inner = std::max(1, c.width - 2);
                if (static_cast<int>(text.size()) > inner) text = text.substr(0, static_cast<std::size_t>(inner - 1)) + U"\u2026";
                text.resize(static_cast<std::size_t>(inner), U' ');
                canvas.Put(c.col, c.row, U"[" + text + U"]", attr);
                break;
            }
            case ControlKind::kProgressBar: {
                int position = std::clamp(s.position, 0, 100);
                std::u32string percent = Ascii((" " + std::to_string(position) + "%").c_str());
                while (percent.size() < 5) percent.insert(percent.begin(), U' ');
                int bar = std::max(1, c.width - 2 - static_cast<int>(percent.size()));
                int filled = bar * position / 100;
                std::u32string line = U"[" + std::u32string(static_cast<std::size_t>(filled), U'\u2588') +
                                      std::u32string(static_cast<std::size_t>(bar - filled), U'\u00B7') + U"]" + percent;
                canvas.Put(c.col, c.row, line, attr);
                break;
            }
            case ControlKind::kDialog:
                break;
        }
    }

    TerminalCanvas& canvas;
    const CWnd& page;
    const CWnd* focus;
    std::vector<HitRegion>* hits;
    CellScale scale;
    Occupancy taken;
    std::vector<Placed> placed;
};

void DrawTitle(TerminalCanvas& canvas, const CWnd* host) {
    canvas.Fill(0, 0, canvas.Columns(), 1, U' ', kAttrReverse);
    if (host) canvas.Put(1, 0, CodePointsOfAnsi(host->State().text), kAttrReverse | kAttrBold);
    std::u32string keys = U"Tab move \u00B7 Space press \u00B7 Ctrl-C exit ";
    int col = canvas.Columns() - static_cast<int>(keys.size());
    int titleEnd = host ? 2 + static_cast<int>(host->State().text.size()) : 0;
    if (col > titleEnd) canvas.Put(col, 0, keys, kAttrReverse);
}

void DrawBox(TerminalCanvas& canvas, const BoxView& box, std::vector<HitRegion>* hits) {
    std::u32string caption = CodePointsOfAnsi(box.caption);
    int width = std::min(canvas.Columns() - 2, std::max(50, static_cast<int>(caption.size()) + 8));
    std::vector<std::u32string> lines = WrapText(CodePointsOfAnsi(box.text), width - 4, 8);
    int height = static_cast<int>(lines.size()) + 5;
    int col = (canvas.Columns() - width) / 2;
    int row = std::max(1, (canvas.Rows() - height) / 2);
    canvas.Fill(col, row, width, height, U' ', kAttrNone);
    canvas.Frame(col, row, width, height, kAttrBold);
    canvas.Put(col + 2, row, U" " + caption + U" ", kAttrBold);
    for (std::size_t i = 0; i < lines.size(); ++i) canvas.Put(col + 2, row + 2 + static_cast<int>(i), lines[i], kAttrNone);
    std::vector<std::u32string> labels;
    int total = 0;
    for (int id : box.buttons) {
        labels.push_back(id == IDYES ? U"[ Yes ]" : id == IDNO ? U"[ No ]" : U"[ OK ]");
        total += static_cast<int>(labels.back().size()) + 2;
    }
    int at = col + (width - total + 2) / 2;
    int buttonRow = row + height - 2;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        bool focused = static_cast<int>(i) == box.focus;
        canvas.Put(at, buttonRow, labels[i], focused ? kAttrReverse : kAttrNone);
        if (hits) hits->push_back(HitRegion{at, buttonRow, static_cast<int>(labels[i].size()), nullptr, box.buttons[i]});
        at += static_cast<int>(labels[i].size()) + 2;
    }
}

}  // namespace

TerminalCanvas::TerminalCanvas(int columns, int rows)
    : columns(std::max(1, columns)), rows(std::max(1, rows)), cells(static_cast<std::size_t>(this->columns * this->rows)) {}

void TerminalCanvas::Put(int col, int row, const std::u32string& text, unsigned char attr) {
    if (row < 0 || row >= rows) return;
    for (std::size_t i = 0; i < text.size(); ++i) {
        int c = col + static_cast<int>(i);
        if (c < 0 || c >= columns) continue;
        cells[static_cast<std::size_t>(row * columns + c)] = Cell{text[i], attr};
    }
}

void TerminalCanvas::Fill(int col, int row, int width, int height, char32_t ch, unsigned char attr) {
    for (int r = row; r < row + height; ++r) Put(col, r, std::u32string(static_cast<std::size_t>(std::max(0, width)), ch), attr);
}

void TerminalCanvas::Frame(int col, int row, int width, int height, unsigned char attr) {
    if (width < 2 || height < 2) return;
    std::u32string middle(static_cast<std::size_t>(width - 2), U'\u2500');
    Put(col, row, U"\u250C" + middle + U"\u2510", attr);
    Put(col, row + height - 1, U"\u2514" + middle + U"\u2518", attr);
    for (int r = row + 1; r < row + height - 1; ++r) {
        Put(col, r, U"\u2502", attr);
        Put(col + width - 1, r, U"\u2502", attr);
    }
}

std::string TerminalCanvas::RowText(int row) const {
    std::string out;
    int last = columns;
    while (last > 0 && At(last - 1, row).ch == U' ') --last;
    for (int col = 0; col < last; ++col) plat::posix::AppendUtf8(out, At(col, row).ch);
    return out;
}

std::string TerminalCanvas::Text() const {
    std::string out;
    for (int row = 0; row < rows; ++row) out += RowText(row) + "\n";
    return out;
}

std::u32string CodePointsOfAnsi(const std::string& ansi) { return DecodeUtf8(plat::posix::Utf8FromAnsi(ansi)); }

std::vector<std::u32string> WrapText(const std::u32string& text, int width, int maxLines) {
    std::vector<std::u32string> lines;
    if (width <= 0 || maxLines <= 0) return lines;
    std::u32string line;
    bool cut = false;
    std::size_t i = 0;
    auto flush = [&] {
        if (static_cast<int>(lines.size()) == maxLines) {
            cut = true;
            return;
        }
        lines.push_back(line);
        line.clear();
    };
    while (i < text.size() && !cut) {
        if (text[i] == U'\n') {
            flush();
            ++i;
            continue;
        }
        if (text[i] == U' ') {
            ++i;
            continue;
        }
        std::size_t end = text.find_first_of(U" \n", i);
        if (end == std::u32string::npos) end = text.size();
        std::u32string word = text.substr(i, end - i);
        std::size_t need = line.empty() ? word.size() : line.size() + 1 + word.size();
        if (static_cast<int>(need) <= width) {
            if (!line.empty()) line += U' ';
            line += word;
            i = end;
        } else if (line.empty()) {  // a word longer than the line is split
            line = word.substr(0, static_cast<std::size_t>(width));
            i += static_cast<std::size_t>(width);
            flush();
        } else {
            flush();
        }
    }
    if (!line.empty() && !cut) {
        if (static_cast<int>(lines.size()) == maxLines)
            cut = true;
        else
            lines.push_back(line);
    }
    if (cut && !lines.empty()) {
        std::u32string& last = lines.back();
        if (static_cast<int>(last.size()) >= width) last.resize(static_cast<std::size_t>(width - 1));
        last += U'\u2026';
    }
    return lines;
}

CellScale ChooseScale(int columns, int rows, const DialogRect& page) {
    CellScale scale;
    int width = std::max(1, page.width);
    int height = std::max(1, page.height);
    scale.x = std::min(kMaxScaleX, static_cast<double>(columns) / width);
    scale.y = std::min(kMaxScaleY, static_cast<double>(rows - 1) / height);
    scale.originCol = std::max(0, (columns - static_cast<int>(std::lround(width * scale.x))) / 2);
    scale.originRow = 1 + std::max(0, (rows - 1 - static_cast<int>(std::lround(height * scale.y))) / 2);
    return scale;
}

CellRect CellsOf(const DialogRect& rect, const CellScale& scale) {
    CellRect cells;
    cells.col = scale.originCol + static_cast<int>(std::lround(rect.x * scale.x));
    cells.row = scale.originRow + static_cast<int>(std::lround(rect.y * scale.y));
    int right = scale.originCol + static_cast<int>(std::lround((rect.x + rect.width) * scale.x));
    int bottom = scale.originRow + static_cast<int>(std::lround((rect.y + rect.height) * scale.y));
    cells.width = std::max(1, right - cells.col);
    cells.height = std::max(1, bottom - cells.row);
    return cells;
}

std::vector<CWnd*> TabStops(const CWnd& page) {
    std::vector<CWnd*> stops;
    for (CWnd* control : page.Children()) {
        const WindowState& s = control->State();
        if ((s.kind == ControlKind::kPushButton || s.kind == ControlKind::kCheckBox) && Shown(*control) && s.enabled)
            stops.push_back(control);
    }
    return stops;
}

void RenderScreen(TerminalCanvas& canvas, const CWnd* host, const CWnd* page, const CWnd* focus, const BoxView* box,
                  std::vector<HitRegion>* hits) {
    canvas.Fill(0, 0, canvas.Columns(), canvas.Rows(), U' ', kAttrNone);
    if (hits) hits->clear();
    DrawTitle(canvas, host);
    if (page) PageDrawer(canvas, *page, focus, hits).Draw();
    if (box) {
        if (hits) hits->clear();  // the page takes no input while a box is open
        DrawBox(canvas, *box, hits);
    }
}

}  // namespace afx
