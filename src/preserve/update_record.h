// The record of an update in progress, kept beside the holding folder in the
// Documents folder from the moment everything the update must carry across is
// held there until it has all been written back. A run that finds it completes
// the interrupted update instead of capturing the half-updated files.
#pragma once

#include <string>

class CPatchwellApp;

// How far the recorded update came.
enum class UpdatePhase {
    kCaptured,  // settings and user content held; nothing deleted yet
    kPrepared,  // the backup made (or not asked for); deletion may have begun
    kRestored,  // everything written back; the holding folder is being removed
};

struct UpdateRecord {
    std::string version;      // the version being updated, as "%d.%d.%c"
    std::string holdingName;  // the holding folder's name in the Documents folder
    UpdatePhase phase = UpdatePhase::kCaptured;
};

// documentsFolder + "/AerovinPatchwell.update"; empty without a Documents folder.
std::string UpdateRecordPath(const CPatchwellApp& state);
// False when there is no record or it is not complete (cut short while it was
// written, or not of this program): such a record counts as none.
bool ReadUpdateRecord(const CPatchwellApp& state, UpdateRecord* record);
// Replaces the record in one step. False when it could not be made durable.
bool WriteUpdateRecord(const CPatchwellApp& state, const UpdateRecord& record);
void RemoveUpdateRecord(const CPatchwellApp& state);

// The record's text, and the record a text holds (false when incomplete).
std::string FormatUpdateRecord(const UpdateRecord& record);
bool ParseUpdateRecord(const std::string& text, UpdateRecord* record);
// "AerovinTemp", or "AerovinTemp" and a number from 2: the only names a
// holding folder may have.
bool IsHoldingFolderName(const std::string& name);
