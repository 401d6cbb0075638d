// The user's own files (custom mapping profiles, colour schemes, flying
// sites), held in Documents + "/AerovinTemp" while the user data is replaced.
#pragma once

#include <string>

class CPatchwellApp;

// The holding folder of this run: state.holdingFolder, or else
// documentsFolder + "/AerovinTemp"; empty without a Documents folder.
std::string HoldingFolder(const CPatchwellApp& state);

// The files of captured settings kept at the top of the holding folder, beside
// the held content, under the names of the files they were read from.
extern const char* const kCapturedCopies[3];
// The mark this program leaves at the top of a holding folder it made, from
// its creation until its removal.
extern const char kHoldingMark[];

// Copies the user's content into the holding folder and logs "Done".
// True when every file of it was copied: only then may the user data go.
// With keepHeld, a file already held is kept and only the others are copied.
bool StashUserContent(CPatchwellApp& state, bool keepHeld = false);
// Copies the holding folder back and deletes it; keeps it, with an error
// line, when any file could not be copied back. An update record that names
// the folder is marked as written back before the folder is deleted, and
// removed after it. True when everything was copied back.
bool RestoreUserContent(CPatchwellApp& state);
