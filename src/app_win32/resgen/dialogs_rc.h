// The dialog templates written as resource-script statements.
#pragma once

#include <ostream>
#include <string>

#include "platform/ui/dialog_template.h"

namespace resgen {

// A text as a quoted resource-script string (bytes of code page 1252 kept).
std::string RcString(const char* text);
// One DIALOGEX statement with its controls.
void WriteDialog(std::ostream& out, const afx::DialogTemplate& dialog);
// Every dialog of the wizard: the host and the five pages, after the
// definitions of the style names their statements use.
void WriteDialogs(std::ostream& out);

}  // namespace resgen
