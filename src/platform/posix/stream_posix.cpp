// C-runtime file streams with the Windows runtime's text mode, and the log.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/backend.h"
#include "platform/posix/machine.h"
#include "platform/posix/posix_internal.h"

namespace plat::backend {

using namespace plat::posix;

struct Stream {
    std::FILE* file = nullptr;
    bool text = false;
    bool ended = false;  // a text stream met CTRL+Z, which ends it
};

namespace {

constexpr int kCtrlZ = 0x1A;

bool IsValidMode(const std::string& mode) {
    return mode == "r" || mode == "rb" || mode == "w" || mode == "wb" || mode == "a" || mode == "ab";
}

}  // namespace

Stream* OpenStream(const std::string& path, const char* mode) {
    std::string m = mode;
    if (!IsValidMode(m)) {
        SetLastError(kErrorInvalidParameter);
        return nullptr;
    }
    WinPath parsed;
    ParseWindowsPath(path, &parsed);
    if (path.empty()) {
        SetLastError(kErrorPathNotFound);
        return nullptr;
    }
    for (const std::string& name : parsed.names) {
        if (name.find_first_of("<>:\"|?*") != std::string::npos) {
            SetLastError(kErrorInvalidName);
            return nullptr;
        }
    }
    std::string host = HostPathOf(parsed);
    if (host.empty()) {
        SetLastError(kErrorPathNotFound);
        return nullptr;
    }
    // Opening a folder for writing fails with EISDIR, which says the same.
    struct stat st;
    if (m[0] == 'r' && stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetLastError(kErrorAccessDenied);
        return nullptr;
    }
    const char* hostMode = m[0] == 'r' ? "rb" : (m[0] == 'w' ? "wb" : "ab");
    std::FILE* file = std::fopen(host.c_str(), hostMode);
    if (!file) {
        SetLastError(WindowsErrorOf(errno, host));
        return nullptr;
    }
    return new Stream{file, m.size() == 1, false};
}

int GetChar(Stream* stream) {
    if (!stream->text) return std::fgetc(stream->file);
    if (stream->ended) return -1;
    int c = std::fgetc(stream->file);
    if (c == kCtrlZ) {
        stream->ended = true;
        return -1;
    }
    if (c == '\r') {
        int next = std::fgetc(stream->file);
        if (next == '\n') return '\n';
        if (next != EOF) std::ungetc(next, stream->file);
    }
    return c;
}

std::size_t ReadStream(Stream* stream, void* buffer, std::size_t bytes) {
    if (!stream->text) return std::fread(buffer, 1, bytes, stream->file);
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < bytes) {
        int c = GetChar(stream);
        if (c < 0) break;
        out[done++] = static_cast<unsigned char>(c);
    }
    return done;
}

std::size_t WriteStream(Stream* stream, const void* buffer, std::size_t bytes) {
    const auto* in = static_cast<const char*>(buffer);
    if (!stream->text) return std::fwrite(in, 1, bytes, stream->file);
    std::size_t done = 0;
    while (done < bytes) {
        const char* lf = static_cast<const char*>(std::memchr(in + done, '\n', bytes - done));
        std::size_t run = lf ? static_cast<std::size_t>(lf - (in + done)) : bytes - done;
        if (run && std::fwrite(in + done, 1, run, stream->file) != run) return done;
        done += run;
        if (!lf) break;
        if (std::fwrite("\r\n", 1, 2, stream->file) != 2) return done;
        ++done;
    }
    return done;
}

bool GetLine(Stream* stream, char* buffer, int capacity) {
    int count = 0;
    while (count < capacity - 1) {
        int c = GetChar(stream);
        if (c < 0) break;
        buffer[count++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buffer[count] = '\0';
    return count > 0;
}

long StreamLength(Stream* stream) {
    if (std::fseek(stream->file, 0, SEEK_END) != 0) return -1;
    long length = std::ftell(stream->file);
    std::rewind(stream->file);
    stream->ended = false;
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
    return fsync(fileno(stream->file)) == 0 ? 0 : -1;
}

// ---- The log ----

namespace {

// Until a log file is open, and when it cannot be, the log's lines are lost:
// the Windows program's standard output leads nowhere, and here it is the
// terminal, which they would write over.
enum class LogState { kFile, kLost };

struct Log {
    LogState state = LogState::kLost;
    Stream* stream = nullptr;
    ~Log() {
        // The runtime writes out the log when the process ends.
        if (stream) CloseStream(stream);
    }
};

Log& TheLog() {
    static Log log;
    return log;
}

}  // namespace

bool OpenLog(const std::string& path) {
    Log& log = TheLog();
    if (log.stream) {
        CloseStream(log.stream);
        log.stream = nullptr;
    }
    log.stream = OpenStream(path, "w");
    log.state = log.stream ? LogState::kFile : LogState::kLost;
    return log.stream != nullptr;
}

void WriteLog(const char* text, std::size_t length) {
    Log& log = TheLog();
    if (log.state == LogState::kFile) WriteStream(log.stream, text, length);
}

void FlushLog() {
    Log& log = TheLog();
    if (log.stream) FlushStream(log.stream);
}

}  // namespace plat::backend
