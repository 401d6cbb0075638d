// The user's own files (custom mapping profiles, colour schemes, flying
// sites), held in Documents + "/AerovinTemp" while the user data is replaced.
#pragma once

class CPatchwellApp;

// Copies the user's content into the holding folder and logs "Done".
// True when every file of it was copied: only then may the user data go.
bool StashUserContent(CPatchwellApp& state);
// Copies the holding folder back and deletes it; keeps it, with an error
// line, when any file could not be copied back.
void RestoreUserContent(CPatchwellApp& state);
