// Resource and control identifiers of the dialogs.
#pragma once

constexpr int IDR_MAINFRAME = 128;
constexpr int IDD_PATCHWELL_DIALOG = 102;
constexpr int IDD_STEP_INSTALLING = 134;
constexpr int IDD_STEP_FAILED = 136;
constexpr int IDD_STEP_COMPLETE = 137;
constexpr int IDD_DETECT_VERSION = 138;
constexpr int IDD_STEP_WELCOME = 139;
constexpr int IDB_SIDE_PICTURE = 132;

// Controls the pages share by number. The same number names different
// controls on different pages (1002 is Start on the welcome page and the
// backup check box on the detection page); these names are the wizard pages'.
constexpr int IDC_CANCEL_BUTTON = 1001;
constexpr int IDC_START_BUTTON = 1002;     // welcome: Start
constexpr int IDC_CONTINUE_BUTTON = 1002;  // installing: Continue, never enabled
constexpr int IDC_HEADING = 1003;
constexpr int IDC_BODY_TEXT = 1004;        // the text below the heading
constexpr int IDC_GROUP_BOX = 1005;
constexpr int IDC_STATUS_LINE = 1006;      // installing
constexpr int IDC_PROGRESS_BAR = 1008;     // installing
constexpr int IDC_FINISHED_BUTTON = 1012;  // complete, failure
constexpr int IDC_FAILURE_REASON = 1013;   // failure
constexpr int IDC_START_SIMULATOR = 1014;  // complete
constexpr int IDC_WELCOME_INTRO = 1013;    // welcome
constexpr int IDC_VERSION_LABEL = 1006;    // welcome
constexpr int IDC_FINISH_NOTE = 1007;      // complete: the three bullet lines
constexpr int IDC_START_NOTE = 1008;
constexpr int IDC_BACKUP_NOTE = 1009;

// The detection page's own controls.
constexpr int IDC_BACKUP_BOX = 1002;
constexpr int IDC_DETECT_CONTINUE = 1007;
constexpr int IDC_START_MENU_BOX = 1009;
constexpr int IDC_DESKTOP_BOX = 1012;
constexpr int IDC_SEARCHING_TEXT = 1004;
constexpr int IDC_LOCATION_LABEL = 1006;
constexpr int IDC_SEARCH_PROGRESS = 1008;
constexpr int IDC_LOCATION = 1010;
constexpr int IDC_CONTINUE_NOTE = 1011;
