// The dialog framework on real Win32 windows: each framework dialog is a real
// dialog made from the program's dialog resource of the same id, and each of
// its controls the real control at the same place in template order.
//
// State flows both ways. What the installer changes through the framework
// (texts, visibility, checks, progress, fonts, positions) is copied onto the
// real windows; what the user changes (a click on a check box, a move of
// the host) is copied back into the framework's state before the framework
// hears of it, so BM_GETCHECK through the framework answers as the screen
// shows. Timers, message boxes and the quit message are the system's own.
#pragma once

#include "platform/ui/ui_backend.h"

namespace afx {

// The one Win32 backend of the process; it lives until the process ends.
UiBackend& Win32UiBackend();

// The window property that marks a page with its dialog resource id, so that
// another process (a test driver) can tell the pages apart.
constexpr char kDialogIdProperty[] = "PatchwellDialog";

}  // namespace afx
