// Carrying the user's settings across the update.
#pragma once

class CPatchwellApp;

// Captures options, installed stock sites, calibration and the user's content.
// True when all of the user's own content reached the holding folder.
bool SavePreviousSettings(CPatchwellApp& state);
// Writes back what SavePreviousSettings captured.
void RestorePreviousSettings(CPatchwellApp& state);
