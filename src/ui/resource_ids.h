// Resource and control identifiers of the dialogs.
#pragma once

constexpr int IDD_PATCHWELL_DIALOG = 102;
constexpr int IDD_STEP_INSTALLING = 134;
constexpr int IDD_STEP_FAILED = 136;
constexpr int IDD_STEP_COMPLETE = 137;
constexpr int IDD_DETECT_VERSION = 138;
constexpr int IDD_STEP_WELCOME = 139;
constexpr int IDB_SIDE_PICTURE = 132;
constexpr int IDR_MAINFRAME = 128;
