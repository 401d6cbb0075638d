// What each backend (posix/, win32/) implements. The functions of platform.h
// are these, behind the fault injector (seam.cpp); only the seam and the
// contract tests call them directly.
#pragma once

#include "platform/platform.h"

namespace plat::backend {

DWORD LastError();
void SetLastError(DWORD error);

intptr_t FindFirst(const std::string& pattern, FindData* data);
int FindNext(intptr_t handle, FindData* data);
int FindClose(intptr_t handle);

int ChangeDir(const std::string& path);
std::string CurrentDir();

bool MakeFolder(const std::string& path);
int MakeFolderTree(const std::string& path);
bool CopyFileTo(const std::string& source, const std::string& destination, bool failIfExists);
bool RemoveFile(const std::string& path);
bool RemoveFolder(const std::string& path);
bool SetAttributes(const std::string& path, DWORD attributes);
DWORD GetAttributes(const std::string& path);
int PathExists(const std::string& path);
bool MoveFileReplace(const std::string& from, const std::string& to);
void SetContainedFolders(const std::vector<std::string>& folders);

DWORD LogicalDriveStrings(DWORD bufferLength, char* buffer);
std::string CommandLine();
HRESULT FolderPath(int csidl, std::string* folder);
DWORD TimeMs();
intptr_t ShellOpen(const std::string& file);

struct Stream;
Stream* OpenStream(const std::string& path, const char* mode);
std::size_t ReadStream(Stream* stream, void* buffer, std::size_t bytes);
std::size_t WriteStream(Stream* stream, const void* buffer, std::size_t bytes);
int GetChar(Stream* stream);
bool GetLine(Stream* stream, char* buffer, int capacity);
long StreamLength(Stream* stream);
int SeekStream(Stream* stream, long offset);
int FlushStream(Stream* stream);
int CloseStream(Stream* stream);
int CommitStream(Stream* stream);

std::uint8_t* AllocateLarge(std::size_t bytes);
void FreeLarge(std::uint8_t* bytes);
void ForgetLarge(std::uint8_t* buffer, std::size_t below);

bool OpenLog(const std::string& path);
void WriteLog(const char* text, std::size_t length);
void FlushLog();

}  // namespace plat::backend
