// Start-up: the folder strings of the installer state and the installer's own folder.
#pragma once

#include <string>

class CPatchwellApp;

// Fills installerFolder, programFilesFolder, userDataFolder, documentsFolder,
// appDataFolder, startMenuFolder, desktopFolder and userBuilderFolder, in
// that order. A folder whose system query fails is left empty, and so is
// every folder built on it.
void DeriveFolders(CPatchwellApp& state);
// The folder of the program named first on the command line: up to the
// closing quote when it is quoted, else up to the first blank; cut at its
// last backslash or slash. Empty when there is no separator or the command
// line has fewer than three characters.
std::string InstallerFolderFromCommandLine(std::string commandLine);
