// What the terminal shows, worked out without a terminal: the host's title
// and the current page drawn from the dialogs' state onto a grid of
// character cells, and the message box over them. The terminal backend
// copies the grid to the screen; the tests read it.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/afx.h"

namespace afx {

enum CellAttr : unsigned char {
    kAttrNone = 0,
    kAttrBold = 1,
    kAttrDim = 2,
    kAttrReverse = 4,
};

struct Cell {
    char32_t ch = U' ';
    unsigned char attr = kAttrNone;
};

class TerminalCanvas {
public:
    TerminalCanvas(int columns, int rows);
    int Columns() const { return columns; }
    int Rows() const { return rows; }
    const Cell& At(int col, int row) const { return cells[static_cast<std::size_t>(row * columns + col)]; }
    // Writes code points from col on; what falls outside the grid is dropped.
    void Put(int col, int row, const std::u32string& text, unsigned char attr);
    void Fill(int col, int row, int width, int height, char32_t ch, unsigned char attr);
    void Frame(int col, int row, int width, int height, unsigned char attr);
    // One row as UTF-8, trailing blanks dropped.
    std::string RowText(int row) const;
    std::string Text() const;

private:
    int columns;
    int rows;
    std::vector<Cell> cells;
};

// Code points of a code page 1252 text.
std::u32string CodePointsOfAnsi(const std::string& ansi);

// Words of text in at most maxLines lines of width cells; a text that does
// not fit ends its last line with an ellipsis. Line breaks in the text start
// new lines.
std::vector<std::u32string> WrapText(const std::u32string& text, int width, int maxLines);

// Dialog units to cells: one scale for the whole page, from the terminal's size.
struct CellScale {
    double x = 0;  // cells per dialog unit
    double y = 0;
    int originCol = 0;  // where the page's 0, 0 lies
    int originRow = 0;
};
struct CellRect {
    int col = 0;
    int row = 0;
    int width = 0;
    int height = 0;
};
// Row 0 is the host's title; the page fills the rows below it.
CellScale ChooseScale(int columns, int rows, const DialogRect& page);
CellRect CellsOf(const DialogRect& rect, const CellScale& scale);

// A place the mouse can press: a control of the page or a message box button.
struct HitRegion {
    int col = 0;
    int row = 0;
    int width = 0;
    CWnd* control = nullptr;
    int answer = 0;  // a message box button: IDYES, IDNO, IDOK
};

// The open message box as drawn.
struct BoxView {
    std::string text;     // code page 1252
    std::string caption;
    std::vector<int> buttons;  // IDYES, IDNO or IDOK
    int focus = 0;             // index into buttons
};

// The push buttons and check boxes of a page that can take the focus, in
// template order: shown and enabled.
std::vector<CWnd*> TabStops(const CWnd& page);

// Draws the host's title, the page and the box (each may be null) and says
// where the mouse may press.
void RenderScreen(TerminalCanvas& canvas, const CWnd* host, const CWnd* page, const CWnd* focus,
                  const BoxView* box, std::vector<HitRegion>* hits);

}  // namespace afx
