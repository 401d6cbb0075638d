// The user's options carried across the update: chosen pieces of the old
// options file are cut out before the user data is removed and appended to
// the options file the packages leave behind.
#pragma once

class CPatchwellApp;

// Reads userDataFolder + "/Settings/options.sim" into the nine captured texts.
void SaveOptions(CPatchwellApp& state);
// Appends the lines built from the captured texts, when they were captured.
void RestoreOptions(CPatchwellApp& state);
