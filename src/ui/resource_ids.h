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
constexpr int IDC_GROUP_BOX = 1005;
constexpr int IDC_STATUS_LINE = 1006;      // installing
constexpr int IDC_PROGRESS_BAR = 1008;     // installing
constexpr int IDC_FINISHED_BUTTON = 1012;  // complete, failure
constexpr int IDC_FAILURE_REASON = 1013;   // failure
constexpr int IDC_START_SIMULATOR = 1014;  // complete

// The detection page's own controls.
constexpr int IDC_BACKUP_BOX = 1002;
constexpr int IDC_DETECT_CONTINUE = 1007;
constexpr int IDC_START_MENU_BOX = 1009;
constexpr int IDC_DESKTOP_BOX = 1012;
