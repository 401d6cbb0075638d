// Progress on the installing page. The work runs on the user-interface thread
// without dispatching messages, so every change is repainted at once.
#pragma once

#include <string>

#include "platform/ui/afx.h"

// Sets the bar's position (PBM_SETPOS) and repaints it; nothing when bar is null.
void SetBarPosition(afx::CProgressCtrl* bar, int position);
// Sets the status line's text and repaints it; nothing when status is null.
void ShowStatusText(afx::CStatic* status, const std::string& text);
