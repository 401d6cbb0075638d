// Owners of the POSIX backend's descriptors and folder listings: each closes
// what it holds when it goes, on every path out of a call.
#pragma once

#include <dirent.h>
#include <unistd.h>

namespace plat::posix {

// Owns one descriptor.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd; }
    explicit operator bool() const { return fd >= 0; }
    int Release() {
        int kept = fd;
        fd = -1;
        return kept;
    }
    void Reset(int replacement = -1) {
        if (fd >= 0) close(fd);
        fd = replacement;
    }
    // Closes now, for a caller that must know whether the close succeeded (a
    // written file's last data can fail there); 0 on success, as close gives.
    int Close() {
        int result = fd >= 0 ? close(fd) : 0;
        fd = -1;
        return result;
    }

private:
    int fd = -1;
};

// Owns one folder listing.
class UniqueDir {
public:
    explicit UniqueDir(DIR* dir) : dir(dir) {}
    ~UniqueDir() {
        if (dir) closedir(dir);
    }
    UniqueDir(const UniqueDir&) = delete;
    UniqueDir& operator=(const UniqueDir&) = delete;

    DIR* Get() const { return dir; }
    explicit operator bool() const { return dir != nullptr; }

private:
    DIR* dir;
};

// Reads the folder open on the descriptor, which the listing then owns (and
// closes with itself); a descriptor fdopendir refuses is closed here.
inline DIR* ListingOf(UniqueFd folder) {
    DIR* dir = fdopendir(folder.Get());
    if (dir) folder.Release();
    return dir;
}

}  // namespace plat::posix
