// Shell links of the installation. CreateShortcuts, the finishing step that
// makes the chosen sets, is a member of the application object.
#pragma once

#include <string>

class CPatchwellApp;

// Writes one ".lnk" file and logs the outcome on the line its announcement
// began. False when the link object or its persist interface was not
// obtained, or the link was not saved, or the guard refused the link's path
// (the line then ends "Refused: <reason>").
bool CreateShortcut(std::string linkPath, std::string target, std::string description, std::string arguments);
// The same, guarded by the folders of the given installer state.
bool CreateShortcutFor(const CPatchwellApp& state, const std::string& linkPath, const std::string& target,
                       const std::string& description, const std::string& arguments);
