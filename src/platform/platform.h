// The seam between the installer's logic and the machine it runs on.
//
// Everything the logic asks of the operating system goes through these
// functions. They speak Windows: paths are Windows paths in the ANSI code
// page (1252), results and error numbers are those of the Win32 API and the
// Microsoft C runtime. The Win32 backend passes each call to the real API;
// the POSIX backend stands in for it on a Wine prefix and behaves as Windows
// does (see the comments of each backend).
//
// Every call first asks the fault injector (fault.h) whether a test wants it
// to fail, so that each failure can be provoked without touching the logic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

using DWORD = std::uint32_t;
using HRESULT = std::int32_t;

// Attribute words, as _findfirst and GetFileAttributesA give them.
constexpr DWORD kAttrReadOnly = 0x01;
constexpr DWORD kAttrHidden = 0x02;
constexpr DWORD kAttrSystem = 0x04;
constexpr DWORD kAttrDirectory = 0x10;
constexpr DWORD kAttrArchive = 0x20;
constexpr DWORD kAttrNormal = 0x80;
constexpr DWORD kAttrReparsePoint = 0x400;
constexpr DWORD kInvalidAttributes = 0xFFFFFFFF;

// Windows error numbers the logic and the tests meet.
constexpr DWORD kErrorFileNotFound = 2;
constexpr DWORD kErrorPathNotFound = 3;
constexpr DWORD kErrorAccessDenied = 5;
constexpr DWORD kErrorNotEnoughMemory = 8;
constexpr DWORD kErrorNotSameDevice = 17;
constexpr DWORD kErrorNoMoreFiles = 18;
constexpr DWORD kErrorSharingViolation = 32;
constexpr DWORD kErrorHandleDiskFull = 39;
constexpr DWORD kErrorFileExists = 80;
constexpr DWORD kErrorInvalidParameter = 87;
constexpr DWORD kErrorDiskFull = 112;
constexpr DWORD kErrorInsufficientBuffer = 122;
constexpr DWORD kErrorInvalidName = 123;
constexpr DWORD kErrorDirNotEmpty = 145;
constexpr DWORD kErrorBadPathname = 161;
constexpr DWORD kErrorAlreadyExists = 183;
constexpr DWORD kErrorFilenameExcedRange = 206;
constexpr DWORD kErrorDirectory = 267;
constexpr DWORD kErrorNoAccess = 998;
// A link met where the path must not pass through one (see SetContainedFolders).
constexpr DWORD kErrorCantResolveFilename = 1921;

// Known folders (SHGetFolderPathA).
constexpr int kCsidlPersonal = 5;
constexpr int kCsidlCommonPrograms = 23;
constexpr int kCsidlCommonDesktop = 25;
constexpr int kCsidlAppData = 26;
constexpr int kCsidlProgramFiles = 38;

constexpr int kMaxPath = 260;

// The last error of the calling thread (GetLastError / SetLastError).
DWORD LastError();
void SetLastError(DWORD error);

// ---- Wildcard enumeration (_findfirst, _findnext, _findclose) ----

struct FindData {
    DWORD attrib = 0;
    std::string name;
};

// Returns a handle, or -1 when nothing matches or the folder cannot be read.
// pattern is a folder and a wildcard, joined by either separator.
intptr_t FindFirst(const std::string& pattern, FindData* data);
// 0 while there is another entry, -1 after the last.
int FindNext(intptr_t handle, FindData* data);
int FindClose(intptr_t handle);

// Closes a wildcard enumeration on every way out.
class FindHandle {
public:
    explicit FindHandle(intptr_t h) : handle(h) {}
    ~FindHandle() {
        if (IsValid()) FindClose(handle);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    bool IsValid() const { return handle != -1; }
    intptr_t Get() const { return handle; }

private:
    intptr_t handle;
};

// ---- Current directory (_chdir, _getcwd) ----

// 0 on success, -1 when the folder is missing or cannot be entered.
int ChangeDir(const std::string& path);
std::string CurrentDir();

// ---- Files and folders ----

// CreateDirectoryA: one level; false with LastError() on failure.
bool MakeFolder(const std::string& path);
// SHCreateDirectoryExA: every missing level, whichever separator joins it.
// 0 on success, else a Windows error code (183 when the folder exists).
int MakeFolderTree(const std::string& path);
// CopyFileA.
bool CopyFileTo(const std::string& source, const std::string& destination, bool failIfExists);
// DeleteFileA. Removes a link itself, never what it points to.
bool RemoveFile(const std::string& path);
// RemoveDirectoryA: an empty folder, or a folder link itself.
bool RemoveFolder(const std::string& path);
// SetFileAttributesA / GetFileAttributesA.
bool SetAttributes(const std::string& path, DWORD attributes);
DWORD GetAttributes(const std::string& path);
// PathFileExistsA: 1 when the file or folder exists, else 0.
int PathExists(const std::string& path);
// MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH):
// puts from in the place of to in one step (a file of that name is replaced),
// and the move is durable when the call returns.
bool MoveFileReplace(const std::string& from, const std::string& to);

// ---- Containment ----

// The folders the program writes below, each taken as the system gives it
// (a Documents folder that is a link to the home folder stays usable).
// Below one of them, a call that creates, writes, copies into, deletes or
// changes the attributes of a file or folder never passes through a link:
// a link met on the way fails the call with kErrorCantResolveFilename, a link
// named by a delete is removed itself (its target untouched), and a link named
// where a file or folder is to be written fails the call likewise. A path
// below none of them is resolved as before. Replaces the previous set.
void SetContainedFolders(const std::vector<std::string>& folders);

// ---- The machine ----

// GetLogicalDriveStringsA: "C:\\" NUL "Z:\\" NUL NUL. Returns the length
// written without the final NUL, or the size needed when bufferLength is too
// small, or 0 on failure.
DWORD LogicalDriveStrings(DWORD bufferLength, char* buffer);
// GetCommandLineA.
std::string CommandLine();
// SHGetFolderPathA(no owner, csidl, no token, 0). 0 on success; on failure the
// folder is left empty.
HRESULT FolderPath(int csidl, std::string* folder);
// timeGetTime: milliseconds, wrapping at 2^32.
DWORD TimeMs();
// ShellExecuteA(no owner, "open", file, no parameters, no folder, SW_SHOW).
// Returns a value above 32 on success, as ShellExecuteA does.
intptr_t ShellOpen(const std::string& file);

// ---- C-runtime file streams ----

// A stream opened by OpenStream. Text mode ("r", "w", "a") writes "\n" as
// CR LF and reads CR LF as "\n", as the Windows runtime does; "rb" and "wb"
// are binary.
struct Stream;

// fopen: nullptr on failure, with LastError() set.
Stream* OpenStream(const std::string& path, const char* mode);
// fread / fwrite of bytes: the number of bytes moved.
std::size_t ReadStream(Stream* stream, void* buffer, std::size_t bytes);
std::size_t WriteStream(Stream* stream, const void* buffer, std::size_t bytes);
// fgetc: the next character as unsigned char, or -1 at the end.
int GetChar(Stream* stream);
// fgets: up to capacity - 1 characters, through the first "\n".
// False when nothing was read.
bool GetLine(Stream* stream, char* buffer, int capacity);
// The length of the file in bytes (fseek to the end, ftell, rewind); -1 on failure.
long StreamLength(Stream* stream);
// fseek(offset, SEEK_SET) on a stream opened for reading: 0 on success, -1 on failure.
int SeekStream(Stream* stream, long offset);
// fflush / fclose: 0 on success, -1 on failure.
int FlushStream(Stream* stream);
int CloseStream(Stream* stream);
// _commit after fflush: the stream's bytes reach the disk (fsync,
// FlushFileBuffers) before it returns. 0 on success, -1 on failure.
int CommitStream(Stream* stream);

// Closes a stream when it goes out of scope, unless closed already.
class StreamHolder {
public:
    StreamHolder() = default;
    explicit StreamHolder(Stream* s) : stream(s) {}
    ~StreamHolder() {
        if (stream) CloseStream(stream);
    }
    StreamHolder(const StreamHolder&) = delete;
    StreamHolder& operator=(const StreamHolder&) = delete;
    Stream* Get() const { return stream; }
    explicit operator bool() const { return stream != nullptr; }
    // Takes s, closing the stream held before.
    void Reset(Stream* s) {
        Close();
        stream = s;
    }
    // Closes now and reports the result of fclose.
    int Close() {
        int result = stream ? CloseStream(stream) : 0;
        stream = nullptr;
        return result;
    }

private:
    Stream* stream = nullptr;
};

// ---- Memory for a whole package ----

// Frees what AllocateLarge gave.
struct LargeBufferFree {
    void operator()(std::uint8_t* bytes) const;
};
using LargeBuffer = std::unique_ptr<std::uint8_t[], LargeBufferFree>;

// malloc for a package file or its unpacked stream, hundreds of megabytes
// touched once: null when the memory cannot be had. The native backend asks
// the system for large pages there, so that first touching the memory costs
// a fault per 2 MiB rather than one per 4 KiB page.
LargeBuffer AllocateLarge(std::size_t bytes);
// The first `below` bytes of a buffer from AllocateLarge are no longer
// needed: the native backend gives the whole large pages among them back to
// the system, and reading them afterwards gives zeros; the Windows build keeps
// them as they are. Calls with a growing `below` are cheap.
void ForgetLarge(std::uint8_t* buffer, std::size_t below);

// ---- The log: standard output, re-opened onto a file ----

// freopen(path, "w", stdout): from now on WriteLog goes to that file in text
// mode. When it fails, the log's output is lost, as the program's would be.
bool OpenLog(const std::string& path);
// The log's bytes, as printf writes them to standard output.
void WriteLog(const char* text, std::size_t length);
// Writes out what the log has buffered (the runtime does this at exit).
void FlushLog();

}  // namespace plat
