// Which stock flying sites the user had installed: read from the old site
// list, written back as the program folder's list of installed data.
#pragma once

#include <string>

#include "platform/platform.h"

class CPatchwellApp;

// The next ";"-ended field of the old site list, line feeds dropped. Empty at
// the end of the file.
std::string ReadToken(plat::Stream* file);
// Fills installedStockSites from userDataFolder + "/Settings/installedUpdates.vrx".
void SaveInstalledSites(CPatchwellApp& state);
// The same from the file at path; asRead (when given) receives its bytes.
// False when the file could not be opened.
bool SaveInstalledSitesFrom(CPatchwellApp& state, const std::string& path, std::string* asRead);
// Writes installFolder + "/resources/data/installed.dat", one line per stock
// site found; leaves it alone when none was found.
void WriteInstalledList(CPatchwellApp& state);
