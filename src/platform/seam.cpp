// The front of the seam: each call asks the fault injector, then the backend.
#include "platform/backend.h"
#include "platform/fault.h"

namespace plat {

struct Stream {
    backend::Stream* inner;
    std::string path;
};

namespace {

// Fails the call with the injected error, as the API would set it.
bool Injected(const char* call, const std::string& path) {
    DWORD code = fault::Check(call, path);
    if (code == 0) return false;
    backend::SetLastError(code);
    return true;
}

}  // namespace

DWORD LastError() { return backend::LastError(); }
void SetLastError(DWORD error) { backend::SetLastError(error); }

intptr_t FindFirst(const std::string& pattern, FindData* data) {
    if (Injected("_findfirst", pattern)) return -1;
    return backend::FindFirst(pattern, data);
}

int FindNext(intptr_t handle, FindData* data) {
    if (Injected("_findnext", data->name)) return -1;
    return backend::FindNext(handle, data);
}

int FindClose(intptr_t handle) { return backend::FindClose(handle); }

int ChangeDir(const std::string& path) {
    if (Injected("_chdir", path)) return -1;
    return backend::ChangeDir(path);
}

std::string CurrentDir() { return backend::CurrentDir(); }

bool MakeFolder(const std::string& path) {
    if (Injected("CreateDirectoryA", path)) return false;
    return backend::MakeFolder(path);
}

int MakeFolderTree(const std::string& path) {
    if (DWORD code = fault::Check("SHCreateDirectoryExA", path)) return static_cast<int>(code);
    return backend::MakeFolderTree(path);
}

bool CopyFileTo(const std::string& source, const std::string& destination, bool failIfExists) {
    if (Injected("CopyFileA", source + "|" + destination)) return false;
    return backend::CopyFileTo(source, destination, failIfExists);
}

bool RemoveFile(const std::string& path) {
    if (Injected("DeleteFileA", path)) return false;
    return backend::RemoveFile(path);
}

bool RemoveFolder(const std::string& path) {
    if (Injected("RemoveDirectoryA", path)) return false;
    return backend::RemoveFolder(path);
}

bool SetAttributes(const std::string& path, DWORD attributes) {
    if (Injected("SetFileAttributesA", path)) return false;
    return backend::SetAttributes(path, attributes);
}

DWORD GetAttributes(const std::string& path) {
    if (Injected("GetFileAttributesA", path)) return kInvalidAttributes;
    return backend::GetAttributes(path);
}

int PathExists(const std::string& path) {
    if (Injected("PathFileExistsA", path)) return 0;
    return backend::PathExists(path);
}

bool MoveFileReplace(const std::string& from, const std::string& to) {
    if (Injected("MoveFileExA", from + "|" + to)) return false;
    return backend::MoveFileReplace(from, to);
}

void SetContainedFolders(const std::vector<std::string>& folders) { backend::SetContainedFolders(folders); }

DWORD LogicalDriveStrings(DWORD bufferLength, char* buffer) {
    if (Injected("GetLogicalDriveStringsA", "")) return 0;
    return backend::LogicalDriveStrings(bufferLength, buffer);
}

std::string CommandLine() { return backend::CommandLine(); }

HRESULT FolderPath(int csidl, std::string* folder) {
    if (DWORD code = fault::Check("SHGetFolderPathA", std::to_string(csidl))) {
        folder->clear();
        return static_cast<HRESULT>(0x80070000u | (code & 0xFFFFu));
    }
    return backend::FolderPath(csidl, folder);
}

DWORD TimeMs() { return backend::TimeMs(); }

intptr_t ShellOpen(const std::string& file) {
    if (DWORD code = fault::Check("ShellExecuteA", file)) return static_cast<intptr_t>(code);
    return backend::ShellOpen(file);
}

Stream* OpenStream(const std::string& path, const char* mode) {
    if (Injected("fopen", path)) return nullptr;
    backend::Stream* inner = backend::OpenStream(path, mode);
    if (!inner) return nullptr;
    return new Stream{inner, path};
}

std::size_t ReadStream(Stream* stream, void* buffer, std::size_t bytes) {
    if (Injected("fread", stream->path)) return 0;
    return backend::ReadStream(stream->inner, buffer, bytes);
}

std::size_t WriteStream(Stream* stream, const void* buffer, std::size_t bytes) {
    if (Injected("fwrite", stream->path)) return 0;
    return backend::WriteStream(stream->inner, buffer, bytes);
}

int GetChar(Stream* stream) { return backend::GetChar(stream->inner); }

bool GetLine(Stream* stream, char* buffer, int capacity) {
    return backend::GetLine(stream->inner, buffer, capacity);
}

long StreamLength(Stream* stream) { return backend::StreamLength(stream->inner); }

int SeekStream(Stream* stream, long offset) {
    if (Injected("fseek", stream->path)) return -1;
    return backend::SeekStream(stream->inner, offset);
}

int FlushStream(Stream* stream) {
    if (Injected("fflush", stream->path)) return -1;
    return backend::FlushStream(stream->inner);
}

int CloseStream(Stream* stream) {
    bool failed = Injected("fclose", stream->path);
    int result = backend::CloseStream(stream->inner);
    delete stream;
    return failed ? -1 : result;
}

int CommitStream(Stream* stream) {
    if (Injected("_commit", stream->path)) return -1;
    return backend::CommitStream(stream->inner);
}

LargeBuffer AllocateLarge(std::size_t bytes) {
    if (Injected("malloc", std::string())) return nullptr;
    return LargeBuffer(backend::AllocateLarge(bytes));
}

void ForgetLarge(std::uint8_t* buffer, std::size_t below) { backend::ForgetLarge(buffer, below); }

void LargeBufferFree::operator()(std::uint8_t* bytes) const { backend::FreeLarge(bytes); }

bool OpenLog(const std::string& path) {
    if (Injected("freopen", path)) return false;
    return backend::OpenLog(path);
}

void WriteLog(const char* text, std::size_t length) { backend::WriteLog(text, length); }
void FlushLog() { backend::FlushLog(); }

}  // namespace plat
