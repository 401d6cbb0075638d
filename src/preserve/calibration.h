// The controller calibration: three kept integers for each of eight channels.
#pragma once

class CPatchwellApp;

// Reads userDataFolder + "/Settings/controller_0.vxt" (the old 352-byte layout).
// Its "Saving previous calibration..." line is closed by the stash that follows.
void SaveCalibration(CPatchwellApp& state);
// Writes the kept integers back to the same file (the new 96-byte layout).
void RestoreCalibration(CPatchwellApp& state);
