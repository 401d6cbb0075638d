// The dialogs of the wizard: the host and the five pages, every control with
// its id, kind, text, rectangle, style, initial state and the heading-font
// and binding marks. This table is the only description of the dialogs: the
// framework builds the windows from it, the Windows build turns it into its
// dialog resources, and a terminal backend draws from it.
#pragma once

#include <vector>

#include "platform/ui/dialog_template.h"

// The layout of the dialog with that resource id; nullptr for another id.
const afx::DialogTemplate* FindDialogLayout(afx::UINT templateId);
// The six layouts, host first.
const std::vector<afx::DialogTemplate>& AllDialogLayouts();
// Makes the framework build its dialogs from these layouts. Repeating it does
// no harm; linking this file does it before main runs.
void RegisterDialogLayouts();
