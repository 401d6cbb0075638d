#include "ui/dialog_layouts.h"

#include "ui/resource_ids.h"

// Every narrow string of the installer is code page 1252, these texts too:
// "\xBB" is the right-pointing double angle quotation mark and "\x95" the
// bullet.

namespace {

using afx::ControlKind;
using afx::ControlTemplate;
using afx::DialogRect;
using afx::DialogTemplate;

constexpr afx::DWORD kPageStyle = afx::WS_POPUP | afx::DS_SETFONT;
constexpr afx::DWORD kHostStyle = afx::WS_POPUP | afx::WS_VISIBLE | afx::WS_CAPTION | afx::WS_SYSMENU |
                                  afx::WS_THICKFRAME | afx::WS_MINIMIZEBOX | afx::DS_SETFONT;
constexpr DialogRect kFrame{0, 0, 525, 175};
constexpr int kEnglishUnitedKingdom = 0x0809;

struct Marks {
    bool titleFont = false;
    bool bound = false;
};
constexpr Marks kPlain{false, false};
constexpr Marks kBound{false, true};
constexpr Marks kTitleBound{true, true};

ControlTemplate Control(int id, ControlKind kind, const char* text, DialogRect rect, afx::DWORD style, Marks marks) {
    ControlTemplate control;
    control.id = id;
    control.kind = kind;
    control.text = text;
    control.rect = rect;
    control.style = style;
    control.titleFont = marks.titleFont;
    control.bound = marks.bound;
    return control;
}

ControlTemplate GroupBox(int id, const char* text, Marks marks) {
    return Control(id, ControlKind::kGroupBox, text, {7, 7, 511, 161}, afx::BS_GROUPBOX, marks);
}

ControlTemplate Text(int id, const char* text, DialogRect rect, Marks marks = kPlain) {
    return Control(id, ControlKind::kText, text, rect, afx::SS_LEFT, marks);
}

ControlTemplate Button(int id, const char* text, DialogRect rect, Marks marks = kPlain) {
    return Control(id, ControlKind::kPushButton, text, rect, afx::BS_PUSHBUTTON | afx::WS_TABSTOP, marks);
}

ControlTemplate CheckBox(int id, const char* text, DialogRect rect, Marks marks = kPlain) {
    return Control(id, ControlKind::kCheckBox, text, rect, afx::BS_AUTOCHECKBOX | afx::WS_TABSTOP, marks);
}

ControlTemplate ProgressBar(int id, DialogRect rect, Marks marks) {
    return Control(id, ControlKind::kProgressBar, "", rect, afx::WS_BORDER, marks);
}

// The side picture: it takes the size of bitmap 132 (85 x 277 pixels).
ControlTemplate Picture(int x, int y) {
    ControlTemplate picture =
        Control(afx::IDC_STATIC, ControlKind::kPicture, "", {x, y, 0, 0}, afx::SS_BITMAP, kPlain);
    picture.imageId = IDB_SIDE_PICTURE;
    return picture;
}

ControlTemplate Disabled(ControlTemplate control) {
    control.enabled = false;
    return control;
}

ControlTemplate Hidden(ControlTemplate control) {
    control.visible = false;
    return control;
}

DialogTemplate Page(afx::UINT id, std::vector<ControlTemplate> controls) {
    DialogTemplate page;
    page.id = id;
    page.title = "";
    page.style = kPageStyle;
    page.rect = kFrame;
    page.fontFace = "Arial";
    page.fontPoints = 10;
    page.fontWeight = 400;
    page.language = kEnglishUnitedKingdom;
    page.controls = std::move(controls);
    return page;
}

DialogTemplate Host() {
    DialogTemplate host = Page(IDD_PATCHWELL_DIALOG, {});
    host.title = "Aerovin V5 Patchwell";
    host.style = kHostStyle;
    host.exStyle = afx::WS_EX_APPWINDOW;
    return host;
}

DialogTemplate Welcome() {
    return Page(IDD_STEP_WELCOME, {
        GroupBox(IDC_GROUP_BOX, "Welcome", kPlain),
        Picture(13, 18),
        Text(IDC_HEADING, "Welcome to the Aerovin R/C Version 5 manual offline updater.", {70, 20, 323, 14}, kTitleBound),
        Text(IDC_BODY_TEXT, "Click the 'Start' button below to begin the process...", {70, 78, 389, 8}),
        Button(IDC_START_BUTTON, "Start \xBB", {448, 144, 65, 20}, kTitleBound),
        Text(IDC_WELCOME_INTRO, "This program will update your current version of Aerovin to the latest 5.0 version.",
             {69, 46, 435, 13}),
        Button(IDC_CANCEL_BUTTON, "Cancel", {383, 144, 65, 20}),
        Text(IDC_VERSION_LABEL, "Version: 5.0", {14, 158, 67, 8}),
    });
}

DialogTemplate Installing() {
    return Page(IDD_STEP_INSTALLING, {
        GroupBox(IDC_GROUP_BOX, "Installing updates", kTitleBound),
        Picture(13, 20),
        Text(IDC_HEADING, "The Aerovin R/C Patchwell is now installing updates.", {70, 20, 441, 14}, kTitleBound),
        Text(IDC_BODY_TEXT,
             "This process may take several minutes depending on your computer speed and currently installed "
             "version.",
             {70, 38, 376, 8}),
        Disabled(Button(IDC_CONTINUE_BUTTON, "Continue \xBB", {448, 144, 65, 20}, kTitleBound)),
        Button(IDC_CANCEL_BUTTON, "Cancel", {387, 144, 60, 20}),
        ProgressBar(IDC_PROGRESS_BAR, {69, 81, 437, 14}, kBound),
        Text(IDC_STATUS_LINE, "Initialising installation...", {70, 71, 376, 8}, kBound),
    });
}

DialogTemplate Failed() {
    return Page(IDD_STEP_FAILED, {
        GroupBox(IDC_GROUP_BOX, "Installation failed", kTitleBound),
        Picture(13, 20),
        Text(IDC_HEADING, "The V5 online update installer failed to complete successfully:", {70, 20, 323, 14},
             kTitleBound),
        Text(IDC_BODY_TEXT,
             "You may wish to try the installation process again later, or contact Aerovin Support at: "
             "support@aerovin.example.",
             {70, 78, 389, 8}),
        Button(IDC_FINISHED_BUTTON, "Finished", {448, 144, 65, 20}),
        Text(IDC_FAILURE_REASON, "Unknown reason.", {69, 46, 435, 13}, kTitleBound),
        Control(afx::IDC_STATIC, ControlKind::kBlackFrame, "", {65, 41, 445, 22}, afx::SS_BLACKFRAME, kPlain),
    });
}

DialogTemplate Complete() {
    return Page(IDD_STEP_COMPLETE, {
        GroupBox(IDC_GROUP_BOX, "Installation complete", kTitleBound),
        Picture(13, 20),
        Text(IDC_HEADING, "Aerovin R/C V5 is now installed", {70, 20, 323, 14}, kTitleBound),
        Text(IDC_BODY_TEXT,
             "Aerovin R/C Version 5 has now been successfully installed and registered on your computer.",
             {70, 37, 438, 13}),
        Button(IDC_FINISHED_BUTTON, "Finished", {448, 144, 65, 20}),
        CheckBox(IDC_START_SIMULATOR, "Start Aerovin when I click Finished", {294, 149, 149, 10}, kBound),
        Text(IDC_FINISH_NOTE, "\x95 Click the Finished button below to complete the process.", {70, 75, 323, 8}),
        Text(IDC_START_NOTE, "\x95 You can also choose to start Aerovin automatically when you do this.", {70, 91, 323, 8}),
        Text(IDC_BACKUP_NOTE, "\x95 Your previous settings can be found in your 'Documents > AerovinRC_backup' folder",
             {70, 107, 323, 8}),
    });
}

DialogTemplate DetectVersion() {
    ControlTemplate location =
        Control(IDC_LOCATION, ControlKind::kEdit, "", {69, 54, 252, 14}, afx::ES_AUTOHSCROLL | afx::WS_BORDER, kBound);
    return Page(IDD_DETECT_VERSION, {
        GroupBox(IDC_GROUP_BOX, "Initialising update installation", kTitleBound),
        Picture(13, 20),
        Text(IDC_HEADING, "Detecting previously installed versions", {70, 20, 323, 14}, kTitleBound),
        Disabled(Button(IDC_DETECT_CONTINUE, "Continue \xBB", {448, 144, 65, 20}, kTitleBound)),
        Button(IDC_CANCEL_BUTTON, "Cancel", {387, 144, 60, 20}),
        Text(IDC_SEARCHING_TEXT,
             "Aerovin R/C update installer is now detecting your previous installation of Aerovin. This may take "
             "several minutes...",
             {70, 37, 439, 14}, kBound),
        ProgressBar(IDC_SEARCH_PROGRESS, {69, 54, 437, 14}, kBound),
        Hidden(Text(IDC_LOCATION_LABEL, "We have detected your previous installation at the following location:",
                    {70, 44, 439, 14}, kBound)),
        Hidden(Disabled(location)),
        CheckBox(IDC_BACKUP_BOX, "Back-up previous settings, variants and recordings", {82, 105, 216, 10}, kBound),
        CheckBox(IDC_START_MENU_BOX, "Create start-menu shortcut", {82, 75, 244, 10}, kBound),
        CheckBox(IDC_DESKTOP_BOX, "Create desktop shortcut", {82, 90, 244, 10}, kBound),
        Text(IDC_CONTINUE_NOTE, "\x95 Please click 'Continue' when you are ready to begin the installation process...",
             {70, 124, 323, 8}),
    });
}

const afx::DialogTemplate* LayoutSource(afx::UINT templateId) { return FindDialogLayout(templateId); }

// Linking this file hands the layouts to the framework before main runs.
[[maybe_unused]] const bool registeredAtStart = (RegisterDialogLayouts(), true);

}  // namespace

const std::vector<afx::DialogTemplate>& AllDialogLayouts() {
    static const std::vector<DialogTemplate> layouts = {Host(),       Installing(), Failed(),
                                                        Complete(),   DetectVersion(), Welcome()};
    return layouts;
}

const afx::DialogTemplate* FindDialogLayout(afx::UINT templateId) {
    for (const DialogTemplate& layout : AllDialogLayouts())
        if (layout.id == templateId) return &layout;
    return nullptr;
}

void RegisterDialogLayouts() { afx::SetDialogTemplateSource(&LayoutSource); }
