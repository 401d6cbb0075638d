// The Windows runtime's own file streams and standard output.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>

#include "platform/backend.h"

namespace plat::backend {

struct Stream {
    std::FILE* file;
};

namespace containment {
bool NoLinkOnTheWay(const std::string& path, bool lastToo);
bool IsBelowContained(const std::string& path);
}  // namespace containment

namespace {

// fopen for writing below a contained folder: the runtime's own CreateFile
// call, with FILE_FLAG_OPEN_REPARSE_POINT so that a link put in the name's
// place after the check is opened itself and never followed.
std::FILE* OpenWithoutFollowing(const std::string& path, const std::string& mode) {
    bool append = mode[0] == 'a';
    bool text = mode.find('b') == std::string::npos;
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  append ? OPEN_ALWAYS : CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                             _O_WRONLY | (text ? _O_TEXT : _O_BINARY) | (append ? _O_APPEND : 0));
    if (fd < 0) {
        ::CloseHandle(handle);
        ::SetLastError(kErrorAccessDenied);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, mode.c_str());
    if (!file) {
        _close(fd);
        ::SetLastError(kErrorAccessDenied);
    }
    return file;
}

}  // namespace

Stream* OpenStream(const std::string& path, const char* mode) {
    std::string m = mode ? mode : "";
    if (!m.empty() && m[0] != 'r' && containment::IsBelowContained(path)) {
        // A link in the name's place, or on the way to it, is never written through.
        if (!containment::NoLinkOnTheWay(path, true)) return nullptr;
        std::FILE* file = OpenWithoutFollowing(path, m);
        return file ? new Stream{file} : nullptr;
    }
    std::FILE* file = std::fopen(path.c_str(), mode);
    if (!file) {
        // The runtime keeps the system's error in _doserrno.
        ::SetLastError(static_cast<DWORD>(_doserrno));
        return nullptr;
    }
    return new Stream{file};
}

std::size_t ReadStream(Stream* stream, void* buffer, std::size_t bytes) {
    return std::fread(buffer, 1, bytes, stream->file);
}

std::size_t WriteStream(Stream* stream, const void* buffer, std::size_t bytes) {
    return std::fwrite(buffer, 1, bytes, stream->file);
}

int GetChar(Stream* stream) { return std::fgetc(stream->file); }

bool GetLine(Stream* stream, char* buffer, int capacity) {
    return std::fgets(buffer, capacity, stream->file) != nullptr;
}

long StreamLength(Stream* stream) {
    if (std::fseek(stream->file, 0, SEEK_END) != 0) return -1;
    long length = std::ftell(stream->file);
    std::rewind(stream->file);
    return length;
}

int SeekStream(Stream* stream, long offset) {
    if (offset < 0) return -1;
    return std::fseek(stream->file, offset, SEEK_SET) == 0 ? 0 : -1;
}

int FlushStream(Stream* stream) { return std::fflush(stream->file) == 0 ? 0 : -1; }

int CloseStream(Stream* stream) {
    int result = std::fclose(stream->file) == 0 ? 0 : -1;
    delete stream;
    return result;
}

int CommitStream(Stream* stream) {
    if (std::fflush(stream->file) != 0) return -1;
    return _commit(_fileno(stream->file)) == 0 ? 0 : -1;
}

bool OpenLog(const std::string& path) { return std::freopen(path.c_str(), "w", stdout) != nullptr; }

void WriteLog(const char* text, std::size_t length) { std::fwrite(text, 1, length, stdout); }

void FlushLog() { std::fflush(stdout); }

}  // namespace plat::backend
