// The Windows runtime's own file streams and standard output.
#include <windows.h>
#include <io.h>

#include <cerrno>
#include <cstdio>

#include "platform/backend.h"

namespace plat::backend {

struct Stream {
    std::FILE* file;
};

Stream* OpenStream(const std::string& path, const char* mode) {
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
