// Every control of every page, as the headless backend holds it, at each
// state a user meets: welcome, the search running, an installation found,
// none found, installing, complete, a failure and the exit question. Each
// dump is one line per control in the order of the page's template:
//
//   <id> <class> [x,y,width,height] visible=V enabled=E[ check=C][ position=P] "<text>"
//
// the rectangle in dialog units and the text in UTF-8: the same lines the
// Windows build's driver reads from the real windows, so that a Wine scenario
// can compare the two builds page by page. With PW_PAGE_DUMPS naming a
// folder, each state's dump is also written there as <state>.txt.
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "ui/resource_ids.h"
#include "ui/wizard_fixture.h"

namespace {

// Code page 1252 to UTF-8 (its 0x80-0x9F row holds the bullet, the dashes
// and the quotes; the rest of the upper half is Latin-1).
std::string Utf8(const std::string& text) {
    static const char16_t kRow80[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    std::string out;
    for (unsigned char c : text) {
        unsigned code = c >= 0x80 && c < 0xA0 ? kRow80[c - 0x80] : c;
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

std::string DumpPage(const afx::CDialogEx& page) {
    std::ostringstream out;
    for (const afx::CWnd* control : page.Children()) {
        const afx::WindowState& s = control->State();
        out << static_cast<short>(s.id) << ' ' << afx::WindowClassOf(s.kind) << " [" << s.rect.x << ','
            << s.rect.y << ',' << s.rect.width << ',' << s.rect.height << "] visible=" << (s.visible ? 1 : 0)
            << " enabled=" << (s.enabled ? 1 : 0);
        if (s.kind == afx::ControlKind::kCheckBox) out << " check=" << s.check;
        if (s.kind == afx::ControlKind::kProgressBar) out << " position=" << s.position;
        out << " \"" << Utf8(s.text) << "\"\n";
    }
    return out.str();
}

class PageDumpsTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        theApp.installerFolder = "C:\\Update";
    }

    // Records the page shown under the state's name.
    const std::string& Record(const std::string& state) {
        EXPECT_NE(Page(), nullptr) << state;
        std::string dump = Page() ? DumpPage(*Page()) : "";
        Save(state, dump);
        return dumps[state] = dump;
    }
    void Save(const std::string& state, const std::string& text) {
        const char* folder = std::getenv("PW_PAGE_DUMPS");
        if (!folder || !*folder) return;
        std::ofstream(std::string(folder) + "/" + state + ".txt", std::ios::binary) << text;
    }
    // The line of control id in a recorded dump.
    std::string Line(const std::string& state, int id) {
        std::istringstream in(dumps[state]);
        std::string line;
        const std::string prefix = std::to_string(id) + " ";
        while (std::getline(in, line))
            if (line.rfind(prefix, 0) == 0) return line;
        return "";
    }
    bool Has(const std::string& state, int id, const std::string& part) {
        return Line(state, id).find(part) != std::string::npos;
    }
    void Install(const std::string& version) {
        machine.WriteFile("C:\\Program Files\\AerovinRC\\AerovinRC.exe", "old simulator");
        machine.WriteFile("C:\\Program Files\\AerovinRC\\AerovinRC.ver", version + "\n");
    }
    // Start, then the search runs its course.
    void StartAndSearch() {
        ASSERT_TRUE(ui.Click(IDC_START_BUTTON));
        Record("2-searching");
        ui.RunFor(5000);
    }

    std::map<std::string, std::string> dumps;
};

TEST_F(PageDumpsTest, AnInstallationFoundLeadsThroughTheQuestionToInstallingAndComplete) {
    Install("4.2.c");
    CreateHost();
    Record("1-welcome");
    StartAndSearch();
    Record("3-found");
    // While searching Continue waits and the bar stands in for the location.
    EXPECT_TRUE(Has("2-searching", IDC_DETECT_CONTINUE, "visible=1 enabled=0")) << dumps["2-searching"];
    EXPECT_TRUE(Has("2-searching", IDC_SEARCH_PROGRESS, "visible=1")) << dumps["2-searching"];
    EXPECT_TRUE(Has("3-found", IDC_DETECT_CONTINUE, "visible=1 enabled=1")) << dumps["3-found"];
    EXPECT_TRUE(Has("3-found", IDC_SEARCH_PROGRESS, "visible=0")) << dumps["3-found"];
    EXPECT_TRUE(Has("3-found", IDC_LOCATION, "\"C:\\Program Files\\AerovinRC\"")) << dumps["3-found"];
    EXPECT_TRUE(Has("1-welcome", IDC_START_BUTTON, "\"Start \xC2\xBB\"")) << dumps["1-welcome"];

    // The exit question, answered No: the page stays as it was.
    ui.AnswerNextMessageBox(afx::IDNO);
    ASSERT_TRUE(ui.Click(IDC_CANCEL_BUTTON));
    ASSERT_FALSE(ui.MessageBoxes().empty());
    const auto& box = ui.MessageBoxes().back();
    Save("8-exit-question", Utf8(box.caption) + "\n" + Utf8(box.text) + "\n");
    EXPECT_EQ(box.caption, "Installing not complete");
    EXPECT_EQ(Record("3-found-after-no"), dumps["3-found"]);

    ASSERT_TRUE(ui.Click(IDC_DETECT_CONTINUE));
    Record("4-installing");
    EXPECT_TRUE(Has("4-installing", IDC_CONTINUE_BUTTON, "visible=1 enabled=0")) << dumps["4-installing"];
    SwitchStep(stepComplete, theApp);
    Record("5-complete");
    EXPECT_TRUE(Has("5-complete", IDC_START_SIMULATOR, "check=1")) << dumps["5-complete"];
    // The bullet of code page 1252 comes out as U+2022.
    EXPECT_TRUE(Has("5-complete", IDC_FINISH_NOTE, "\"\xE2\x80\xA2 Click the Finished")) << dumps["5-complete"];
}

TEST_F(PageDumpsTest, NoInstallationAndAVersionOutOfRangeEndOnTheFailurePage) {
    CreateHost();
    StartAndSearch();
    Record("6-not-found");
    EXPECT_TRUE(Has("6-not-found", IDC_FAILURE_REASON, "\"Could not detect any previously installed version.\""))
        << dumps["6-not-found"];

    host.reset();
    ResetInstallerState();
    RegisterDialogLayouts();
    theApp.installerFolder = "C:\\Update";
    theApp.titleFont = std::make_unique<afx::CFont>();
    theApp.titleFont->CreateFont(-18, 0, "Arial");
    Install("5.1.a");
    CreateHost();
    StartAndSearch();
    ASSERT_TRUE(ui.Click(IDC_DETECT_CONTINUE));
    Record("7-failure");
    EXPECT_TRUE(Has("7-failure", IDC_FAILURE_REASON, "\"Version \"5.1.a\" is installed")) << dumps["7-failure"];
    // Each line is one control of the page, in the template's order.
    EXPECT_EQ(std::count(dumps["7-failure"].begin(), dumps["7-failure"].end(), '\n'),
              static_cast<long>(Page()->Children().size()));
}

}  // namespace
