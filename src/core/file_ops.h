// Listing, copying, creating and deleting files and folder trees, each step
// logged. Child paths are parent + "/" + name; nothing else is normalised.
// An empty path is a folder that does not exist. Every deletion, creation and
// copy asks the guard of owned_folders.h first: a refused path ends the
// operation's log line with "Refused: <reason>" and is left alone.
#pragma once

#include <list>
#include <string>
#include <vector>

namespace plat {
struct Stream;
}

// Appends the folder's files matching pattern (with recurse, its subfolders'
// too, depth first). Enters each folder it lists (the current directory).
void FindFiles(const std::string& folder, const std::string& pattern, std::list<std::string>& result,
               bool recurse, bool includeHidden, bool includeSystem, bool fullPaths);
// Appends the folder's subfolders (with recurse, the whole subtree, pre-order).
void FindFolders(const std::string& folder, std::vector<std::string>& result, bool recurse,
                 bool includeHidden, bool includeSystem, bool fullPaths);
// Copies one file and logs the outcome; true when it was copied.
bool CopyOneFile(const std::string& source, const std::string& destination, bool overwrite);
// Copies a whole tree, replacing existing files. True when every file of the
// tree was copied (a missing source copies nothing and is true).
bool CopyFolderTree(const std::string& source, const std::string& destination);
// Creates the folder and any missing parents, and logs the outcome.
void CreateFolder(const std::string& path);
// Deletes one file, with no line of its own unless the guard refuses it
// ("Error: refused to delete ..."); a link is removed itself. True when deleted.
bool DeleteOneFile(const std::string& path);
// Opens a file for writing (fopen with mode "w", "wb" or "a") once the guard
// allows it; a refused path is logged ("Error: refused to write ...") and
// gives nullptr with LastError() ERROR_ACCESS_DENIED, as a failed open would.
plat::Stream* OpenForWriting(const std::string& path, const char* mode);
// Deletes the tree's files and folders, logging each one. A folder link,
// given as the tree or met in it, is removed itself, its target untouched.
void DeleteFolderTree(const std::string& path);
