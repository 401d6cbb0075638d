// Shell links of the installation. CreateShortcuts, the finishing step that
// makes the chosen sets, is a member of the application object.
#pragma once

#include <string>

// Writes one ".lnk" file and logs the outcome on the line its announcement
// began. False when the link object or its persist interface was not
// obtained, or the link was not saved.
bool CreateShortcut(std::string linkPath, std::string target, std::string description, std::string arguments);
