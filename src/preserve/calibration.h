// The controller calibration: three kept integers for each of eight channels.
#pragma once

#include <string>

class CPatchwellApp;

// Reads userDataFolder + "/Settings/controller_0.vxt" (the old 352-byte layout).
// Its "Saving previous calibration..." line is closed by the stash that follows.
void SaveCalibration(CPatchwellApp& state);
// The same from the file at path; asRead (when given) receives its bytes.
// False when the file could not be opened.
bool SaveCalibrationFrom(CPatchwellApp& state, const std::string& path, std::string* asRead);
// Writes the kept integers back to the same file (the new 96-byte layout).
void RestoreCalibration(CPatchwellApp& state);
