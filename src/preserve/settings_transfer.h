// Carrying the user's settings across the update.
#pragma once

class CPatchwellApp;

// Captures options, installed stock sites, calibration and the user's content.
void SavePreviousSettings(CPatchwellApp& state);
// Writes back what SavePreviousSettings captured.
void RestorePreviousSettings(CPatchwellApp& state);
