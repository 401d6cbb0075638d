// C-runtime file streams with the Windows runtime's text mode, and the log.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/backend.h"
#include "platform/posix/contained.h"
#include "platform/posix/machine.h"
#include "platform/posix/posix_internal.h"

namespace plat::backend {

using namespace plat::posix;

// A stream opened for reading is the C runtime's own; one opened for
// writing is a descriptor with a buffer of ours, so that writing a file
// costs its open, its writes and its close, and nothing else.
struct Stream {
    std::FILE* file = nullptr;  // reading
    UniqueFd fd;                // writing
    std::vector<char> pending;  // bytes written but not yet handed to the system
    std::size_t capacity = 0;
    bool text = false;
    bool ended = false;   // a text stream met CTRL+Z, which ends it
    bool failed = false;  // a write to the system failed
};

namespace {

constexpr int kCtrlZ = 0x1A;
// The runtime's buffer for a text stream (the log), and a larger one for binary files.
constexpr std::size_t kTextBuffer = 4096;
constexpr std::size_t kBinaryBuffer = 1 << 16;

bool IsValidMode(const std::string& mode) {
    return mode == "r" || mode == "rb" || mode == "w" || mode == "wb" || mode == "a" || mode == "ab";
}

bool WriteAll(int fd, const char* bytes, std::size_t length) {
    while (length > 0) {
        ssize_t n = write(fd, bytes, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool Drain(Stream* stream) {
    if (stream->pending.empty()) return !stream->failed;
    bool ok = WriteAll(stream->fd.Get(), stream->pending.data(), stream->pending.size());
    stream->pending.clear();
    if (!ok) stream->failed = true;
    return ok;
}

// Appends bytes to the buffer, handing it to the system when full; a run
// larger than the buffer goes straight through.
bool Put(Stream* stream, const char* bytes, std::size_t length) {
    if (stream->pending.size() + length <= stream->capacity) {
        stream->pending.insert(stream->pending.end(), bytes, bytes + length);
        return true;
    }
    if (!Drain(stream)) return false;
    if (length >= stream->capacity) {
        if (WriteAll(stream->fd.Get(), bytes, length)) return true;
        stream->failed = true;
        return false;
    }
    stream->pending.insert(stream->pending.end(), bytes, bytes + length);
    return true;
}

}  // namespace

}  // namespace plat::backend

namespace plat::posix {

int OpenForWriting(const std::string& path, bool append, DWORD* error) {
    WinPath parsed;
    ParseWindowsPath(path, &parsed);
    const int flags = O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC);
    Place place;
    switch (parsed.names.empty() ? Placing::kOutside : PlaceBelowContained(parsed, &place, error)) {
        case Placing::kFailed: return -1;
        case Placing::kPlaced: {
            ForgetPlainAt(place);
            int fd = -1;
            bool created = false;
            if (!place.exists) {
                // Made here and now: a new, plain file.
                fd = OpenBeneath(place.folder, place.hostName, flags | O_EXCL, 0666);
                created = fd >= 0;
            }
            // Not there after all, or there already: opened as it is, and never through a link.
            if (fd < 0 && (place.exists || errno == EEXIST)) fd = OpenBeneath(place.folder, place.hostName, flags, 0666);
            if (fd < 0) {
                *error = ContainedErrorOf(errno, true);
                return -1;
            }
            if (created) {
                NoteCreated(place, false);
                MarkPlain(place);
            }
            return fd;
        }
        case Placing::kOutside: break;
    }
    std::string host = HostPathOf(parsed);
    if (host.empty()) {
        *error = kErrorPathNotFound;
        return -1;
    }
    int fd = open(host.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) *error = WindowsErrorOf(errno, host);
    return fd;
}

}  // namespace plat::posix

namespace plat::backend {

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
    bool text = m.size() == 1;
    if (m[0] != 'r') {
        DWORD error = 0;
        // Opening a folder for writing fails with EISDIR, which says the same.
        int fd = OpenForWriting(path, m[0] == 'a', &error);
        if (fd < 0) {
            SetLastError(error);
            return nullptr;
        }
        auto* stream = new Stream;
        stream->fd.Reset(fd);
        stream->text = text;
        stream->capacity = text ? kTextBuffer : kBinaryBuffer;
        return stream;
    }
    std::string host = HostPathOf(parsed);
    if (host.empty()) {
        SetLastError(kErrorPathNotFound);
        return nullptr;
    }
    struct stat st;
    if (stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetLastError(kErrorAccessDenied);
        return nullptr;
    }
    std::FILE* file = std::fopen(host.c_str(), "rb");
    if (!file) {
        SetLastError(WindowsErrorOf(errno, host));
        return nullptr;
    }
    auto* stream = new Stream;
    stream->file = file;
    stream->text = text;
    return stream;
}

int GetChar(Stream* stream) {
    if (!stream->file) return -1;
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
    if (!stream->file) return 0;
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
    if (!stream->fd) return 0;
    const auto* in = static_cast<const char*>(buffer);
    if (!stream->text) return Put(stream, in, bytes) ? bytes : 0;
    std::size_t done = 0;
    while (done < bytes) {
        const char* lf = static_cast<const char*>(std::memchr(in + done, '\n', bytes - done));
        std::size_t run = lf ? static_cast<std::size_t>(lf - (in + done)) : bytes - done;
        if (run && !Put(stream, in + done, run)) return done;
        done += run;
        if (!lf) break;
        if (!Put(stream, "\r\n", 2)) return done;
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
    if (!stream->file) {
        if (!Drain(stream)) return -1;
        off_t length = lseek(stream->fd.Get(), 0, SEEK_END);
        if (length < 0 || lseek(stream->fd.Get(), 0, SEEK_SET) != 0) return -1;
        return static_cast<long>(length);
    }
    if (std::fseek(stream->file, 0, SEEK_END) != 0) return -1;
    long length = std::ftell(stream->file);
    std::rewind(stream->file);
    stream->ended = false;
    return length;
}

int SeekStream(Stream* stream, long offset) {
    if (!stream->file || offset < 0) return -1;
    if (std::fseek(stream->file, offset, SEEK_SET) != 0) return -1;
    stream->ended = false;
    return 0;
}

int FlushStream(Stream* stream) {
    if (!stream->file) return Drain(stream) ? 0 : -1;
    return std::fflush(stream->file) == 0 ? 0 : -1;
}

int CloseStream(Stream* stream) {
    int result = 0;
    if (stream->file) {
        result = std::fclose(stream->file) == 0 ? 0 : -1;
    } else {
        if (!Drain(stream)) result = -1;
        if (stream->fd.Close() != 0) result = -1;
    }
    delete stream;
    return result;
}

int CommitStream(Stream* stream) {
    if (stream->file) return std::fflush(stream->file) == 0 && fsync(fileno(stream->file)) == 0 ? 0 : -1;
    if (!Drain(stream)) return -1;
    return fsync(stream->fd.Get()) == 0 ? 0 : -1;
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
