// Carrying the user's settings across the update.
#pragma once

#include "preserve/update_record.h"

class CPatchwellApp;

// What SaveSettingsDurably found and did.
struct HeldSettings {
    bool contentHeld = false;  // all of the user's own content reached the holding folder
    bool completing = false;   // an interrupted update's record was found and is being completed
    bool recorded = false;     // the update record is written: the capture survives the process
    UpdateRecord record;       // the record, when recorded or completing
};

// Captures options, installed stock sites, calibration and the user's content.
// True when all of the user's own content reached the holding folder.
bool SavePreviousSettings(CPatchwellApp& state);
// The same, made durable: the files read are kept in the holding folder and
// the update record is written last. When a complete record of an earlier,
// interrupted run is found, its held settings are taken instead of the
// half-updated files, and every held file of its user content is kept.
HeldSettings SaveSettingsDurably(CPatchwellApp& state);
// Writes back what SavePreviousSettings captured.
void RestorePreviousSettings(CPatchwellApp& state);
