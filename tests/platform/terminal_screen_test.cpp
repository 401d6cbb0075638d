// The terminal's pages, drawn onto a grid without a terminal: every control
// of every page shows in 80 x 24 cells, in its state, with its characters.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "platform/ui/headless_backend.h"
#include "platform/ui/posix/terminal_screen.h"
#include "ui/dialog_layouts.h"
#include "ui/resource_ids.h"

namespace {

using afx::TerminalCanvas;

std::u32string U32(const char* ascii) {
    std::u32string out;
    for (; *ascii; ++ascii) out += static_cast<char32_t>(*ascii);
    return out;
}

std::string Utf8(const std::string& ansi) {
    TerminalCanvas canvas(200, 1);
    canvas.Put(0, 0, afx::CodePointsOfAnsi(ansi), afx::kAttrNone);
    return canvas.RowText(0);
}

class TerminalScreenTest : public ::testing::Test {
protected:
    TerminalScreenTest() : use(&backend) { RegisterDialogLayouts(); }

    // The host and a page as the wizard makes them, the page shown.
    afx::CDialogEx& MakePage(unsigned templateId) {
        host = std::make_unique<afx::CDialogEx>(IDD_PATCHWELL_DIALOG);
        host->Create(IDD_PATCHWELL_DIALOG, nullptr);
        host->ShowWindow(afx::SW_SHOW);
        page = std::make_unique<afx::CDialogEx>(templateId, host.get());
        page->Create(templateId, host.get());
        page->ShowWindow(afx::SW_SHOW);
        return *page;
    }

    std::string Render(int columns, int rows, const afx::BoxView* box = nullptr) {
        canvas = std::make_unique<TerminalCanvas>(columns, rows);
        afx::RenderScreen(*canvas, host.get(), page.get(), nullptr, box, &hits);
        return canvas->Text();
    }

    // The screen's text with the lines joined, so that wrapped words meet again.
    std::string Words() const {
        std::string flat;
        std::istringstream lines(canvas->Text());
        for (std::string line; std::getline(lines, line);) flat += line + " ";
        return flat;
    }

    // Every word of text on the screen, in order, though wrapped.
    void ExpectWordsShown(const std::string& ansi) {
        std::string flat = Words();
        std::istringstream words(Utf8(ansi));
        std::size_t at = 0;
        for (std::string word; words >> word;) {
            std::size_t found = flat.find(word, at);
            ASSERT_NE(found, std::string::npos) << "\"" << word << "\" of \"" << Utf8(ansi) << "\"\n" << canvas->Text();
            at = found + word.size();
        }
    }

    afx::HeadlessBackend backend;
    afx::ScopedUiBackend use;
    std::unique_ptr<afx::CDialogEx> host;
    std::unique_ptr<afx::CDialogEx> page;
    std::unique_ptr<TerminalCanvas> canvas;
    std::vector<afx::HitRegion> hits;
};

TEST_F(TerminalScreenTest, EveryPageShowsEveryVisibleControlIn80By24) {
    for (unsigned id : {IDD_STEP_WELCOME, IDD_DETECT_VERSION, IDD_STEP_INSTALLING, IDD_STEP_COMPLETE, IDD_STEP_FAILED}) {
        SCOPED_TRACE(id);
        afx::CDialogEx& shown = MakePage(id);
        Render(80, 24);
        EXPECT_EQ(canvas->RowText(0).rfind(" Aerovin V5 Patchwell", 0), 0u);
        EXPECT_EQ(Words().find("\xE2\x80\xA6"), std::string::npos) << "a text was cut:\n" << canvas->Text();
        std::size_t stops = 0;
        for (afx::CWnd* control : shown.Children()) {
            const afx::WindowState& s = control->State();
            if (!s.visible) {
                if (!s.text.empty()) {
                    EXPECT_EQ(Words().find(Utf8(s.text)), std::string::npos) << s.text;
                }
                continue;
            }
            if (!s.text.empty()) ExpectWordsShown(s.text);
            if (s.kind == afx::ControlKind::kPushButton || s.kind == afx::ControlKind::kCheckBox) ++stops;
        }
        // Each button and box can be clicked, and no two of them share a cell.
        EXPECT_EQ(hits.size(), stops);
        for (std::size_t a = 0; a < hits.size(); ++a)
            for (std::size_t b = a + 1; b < hits.size(); ++b)
                EXPECT_FALSE(hits[a].row == hits[b].row && hits[a].col < hits[b].col + hits[b].width &&
                             hits[b].col < hits[a].col + hits[a].width)
                    << "regions " << a << " and " << b << "\n" << canvas->Text();
    }
}

TEST_F(TerminalScreenTest, StatesShowAsAWindowsDialogShowsThem) {
    afx::CDialogEx& detect = MakePage(IDD_DETECT_VERSION);
    afx::CFont title;
    title.CreateFont(-18, 0, "Arial");
    detect.GetDlgItem(1003)->SetFont(&title);
    detect.GetDlgItem(1008)->SendMessage(afx::PBM_SETPOS, 45);
    detect.GetDlgItem(1012)->SendMessage(afx::BM_SETCHECK, afx::BST_CHECKED);
    std::string screen = Render(80, 24);
    EXPECT_NE(screen.find(" 45%"), std::string::npos) << screen;
    EXPECT_NE(screen.find("[x] Create desktop shortcut"), std::string::npos) << screen;
    EXPECT_NE(screen.find("[ ] Create start-menu shortcut"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Continue \xC2\xBB"), std::string::npos) << "the » of code page 1252\n" << screen;
    EXPECT_NE(screen.find("\xE2\x80\xA2 Please click"), std::string::npos) << "the bullet\n" << screen;

    auto attrAt = [&](const char* text) {
        std::string wanted = text;
        for (int row = 0; row < canvas->Rows(); ++row) {
            std::string line = canvas->RowText(row);
            std::size_t at = line.find(wanted);
            if (at == std::string::npos) continue;
            int col = 0;  // cells before the text: count code points, not bytes
            for (std::size_t i = 0; i < at; ++i) col += (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80;
            return static_cast<int>(canvas->At(col, row).attr);
        }
        ADD_FAILURE() << text << " not shown";
        return -1;
    };
    EXPECT_EQ(attrAt("Detecting previously"), afx::kAttrBold);            // the title font
    EXPECT_EQ(attrAt("Aerovin R/C update installer"), afx::kAttrNone);
    EXPECT_TRUE(attrAt("Continue \xC2\xBB") & afx::kAttrDim);                      // disabled until found

    // Found: the progress bar and its text give way to the location field and its label.
    detect.GetDlgItem(1008)->ShowWindow(afx::SW_HIDE);
    detect.GetDlgItem(1004)->ShowWindow(afx::SW_HIDE);
    detect.GetDlgItem(1006)->ShowWindow(afx::SW_SHOW);
    detect.GetDlgItem(1010)->ShowWindow(afx::SW_SHOW);
    detect.GetDlgItem(1010)->SetWindowText("C:\\Program Files (x86)\\AerovinRC");
    detect.GetDlgItem(1007)->EnableWindow(afx::TRUE);
    screen = Render(80, 24);
    EXPECT_EQ(screen.find("45%"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("is now detecting"), std::string::npos) << screen;
    EXPECT_NE(screen.find("[C:\\Program Files (x86)\\AerovinRC"), std::string::npos) << screen;
    ExpectWordsShown("We have detected your previous installation at the following location:");
    EXPECT_FALSE(attrAt("Continue \xC2\xBB") & afx::kAttrDim);
}

TEST_F(TerminalScreenTest, TheExitQuestionLiesOverThePageAndOnlyItsButtonsTakeClicks) {
    MakePage(IDD_STEP_WELCOME);
    afx::BoxView box{"The installation process is not yet finished - are you sure you want to exit?",
                     "Installing not complete", {afx::IDYES, afx::IDNO}, 0};
    std::string screen = Render(80, 24, &box);
    EXPECT_NE(screen.find("Installing not complete"), std::string::npos) << screen;
    ExpectWordsShown(box.text);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].answer, afx::IDYES);
    EXPECT_EQ(hits[1].answer, afx::IDNO);
    EXPECT_EQ(hits[0].row, hits[1].row);
    EXPECT_EQ(canvas->At(hits[0].col, hits[0].row).attr, afx::kAttrReverse);  // Yes has the focus
}

TEST_F(TerminalScreenTest, LargerTerminalsScaleThePageAndResizingRedrawsIt) {
    MakePage(IDD_STEP_COMPLETE);
    for (auto [columns, rows] : {std::pair{80, 24}, std::pair{132, 43}, std::pair{100, 30}}) {
        SCOPED_TRACE(columns);
        Render(columns, rows);
        ExpectWordsShown("Start Aerovin when I click Finished");
        ExpectWordsShown("\x95 Your previous settings can be found in your 'Documents > AerovinRC_backup' folder");
        for (const afx::HitRegion& hit : hits) EXPECT_LT(hit.col + hit.width, columns + 1);
    }
}

TEST(TerminalWrap, BreaksAtBlanksAndMarksWhatDoesNotFit) {
    struct Case {
        const char* text;
        int width;
        int lines;
        std::vector<const char*> expected;
    } cases[] = {
        {"one two three", 20, 2, {"one two three"}},
        {"one two three", 7, 2, {"one two", "three"}},
        {"one two three", 7, 1, {"one tw\xE2\x80\xA6"}},
        {"abcdefghij", 4, 3, {"abcd", "efgh", "ij"}},
        {"a\nb", 10, 3, {"a", "b"}},
        {"", 10, 3, {}},
        {"word", 0, 3, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::u32string> lines = afx::WrapText(U32(c.text), c.width, c.lines);
        ASSERT_EQ(lines.size(), c.expected.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            TerminalCanvas row(40, 1);
            row.Put(0, 0, lines[i], afx::kAttrNone);
            EXPECT_EQ(row.RowText(0), c.expected[i]);
        }
    }
}

}  // namespace
