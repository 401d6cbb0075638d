// Files, folders, attributes and enumeration on the Wine prefix, with the
// results and error numbers Windows gives.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

#include "platform/backend.h"
#include "platform/posix/contained.h"
#include "platform/posix/machine.h"
#include "platform/posix/posix_internal.h"

namespace plat::posix {
namespace {

thread_local DWORD lastError = 0;  // per thread, as GetLastError is

// Wine keeps the hidden and system marks in this extended attribute, as the
// text "0x" and the hexadecimal of those two bits, without a NUL.
constexpr const char* kDosAttribute = "user.DOSATTRIB";

bool HasInvalidCharacter(const WinPath& path) {
    for (const std::string& name : path.names)
        if (name.find_first_of("<>:\"|?*") != std::string::npos) return true;
    return false;
}

std::string ParentOf(const std::string& host) {
    std::size_t slash = host.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : host.substr(0, slash);
}

bool IsDirectoryHost(const std::string& host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

DWORD StoredDosBits(const std::string& host) {
    char value[16] = {};
    ssize_t n = lgetxattr(host.c_str(), kDosAttribute, value, sizeof value - 1);
    if (n <= 2 || value[0] != '0' || value[1] != 'x') return 0;
    return static_cast<DWORD>(std::strtoul(value + 2, nullptr, 16)) & (kAttrHidden | kAttrSystem);
}

void StoreDosBits(const std::string& host, DWORD bits) {
    bits &= kAttrHidden | kAttrSystem;
    if (bits == 0) {
        lremovexattr(host.c_str(), kDosAttribute);
        return;
    }
    char value[8];
    int n = std::snprintf(value, sizeof value, "0x%x", static_cast<unsigned>(bits));
    lsetxattr(host.c_str(), kDosAttribute, value, static_cast<size_t>(n), 0);
}

// The attribute word Wine gives a host file: folder or archive, read-only
// when no write bit is left, hidden and system from the stored marks, hidden
// for a name that begins with a dot; a link reports the reparse-point bit.
DWORD AttributesOfHost(const std::string& host, const std::string& name) {
    struct stat st;
    if (lstat(host.c_str(), &st) != 0) return kInvalidAttributes;
    DWORD attrib = 0;
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        bool folder = stat(host.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
        return kAttrReparsePoint | (folder ? kAttrDirectory : kAttrArchive);
    }
    attrib = S_ISDIR(st.st_mode) ? kAttrDirectory : kAttrArchive;
    if ((st.st_mode & 0222) == 0) attrib |= kAttrReadOnly;
    attrib |= StoredDosBits(host);
    if (!name.empty() && name[0] == '.' && name != "." && name != "..") attrib |= kAttrHidden;
    return attrib;
}

// Wildcard match without regard to case; "*.*" matches every name, with or
// without a dot, as on Windows.
bool Matches(const std::string& pattern, const std::string& name) {
    if (pattern == "*.*" || pattern == "*") return true;
    std::string p = UpperCase(pattern);
    std::string n = UpperCase(name);
    std::size_t pi = 0, ni = 0, star = std::string::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            mark = ni;
        } else if (star != std::string::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

struct Listing {
    std::vector<FindData> entries;
    std::size_t next = 0;
};

std::map<intptr_t, std::unique_ptr<Listing>>& Listings() {
    static std::map<intptr_t, std::unique_ptr<Listing>> listings;
    return listings;
}

bool SameHostFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace

DWORD MissingPathError(const std::string& hostPath) {
    return IsDirectoryHost(ParentOf(hostPath)) ? kErrorFileNotFound : kErrorPathNotFound;
}

DWORD WindowsErrorOf(int error, const std::string& hostPath) {
    switch (error) {
        case ENOENT: return MissingPathError(hostPath);
        case ENOTDIR: return kErrorPathNotFound;
        case EEXIST: return kErrorAlreadyExists;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS: return kErrorAccessDenied;
        case ENOTEMPTY: return kErrorDirNotEmpty;
        case ENOSPC:
        case EDQUOT: return kErrorDiskFull;
        case ENAMETOOLONG: return kErrorFilenameExcedRange;
        case EBUSY: return kErrorSharingViolation;
        case EXDEV: return kErrorNotSameDevice;
        default: return kErrorAccessDenied;
    }
}

}  // namespace plat::posix

namespace plat::backend {

using namespace plat::posix;

DWORD LastError() { return lastError; }
void SetLastError(DWORD error) { lastError = error; }

namespace {

bool Fail(DWORD error) {
    lastError = error;
    return false;
}

// ---- Below a contained folder: every name reached from the folder's
// descriptor, never through a link (contained.h) ----

// A path of the host's /proc that names an entry of an open folder without
// following it, for the calls that have no *at form (extended attributes).
std::string EntryPath(const Place& place) {
    return "/proc/self/fd/" + std::to_string(place.folder) + "/" + place.hostName;
}

void StoreDosBitsAt(const Place& place, DWORD bits) { StoreDosBits(EntryPath(place), bits); }

// fchmodat without following a link (fchmodat2 where the kernel has it).
int ChangeModeAt(int folder, const std::string& name, mode_t mode) {
#ifdef SYS_fchmodat2
    long result = syscall(SYS_fchmodat2, folder, name.c_str(), mode, AT_SYMLINK_NOFOLLOW);
    if (result == 0 || errno != ENOSYS) return static_cast<int>(result);
#endif
    return fchmodat(folder, name.c_str(), mode, AT_SYMLINK_NOFOLLOW);
}

// Host path and stat of the process's current directory, for the rule that
// it cannot be removed.
bool IsCurrentDirectory(const struct stat& st) {
    std::string current = HostPathOf(CurrentDirPath());
    struct stat cs;
    return !current.empty() && stat(current.c_str(), &cs) == 0 && cs.st_dev == st.st_dev && cs.st_ino == st.st_ino;
}

bool CopyDescriptors(int in, int out) {
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                if (w == 0) errno = ENOSPC;
                return false;
            }
            done += w;
        }
    }
}

bool CopyContent(const std::string& from, const std::string& to) {
    UniqueFd in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in) return false;
    UniqueFd out(open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    bool ok = out && CopyDescriptors(in.Get(), out.Get());
    int saved = errno;
    in.Reset();
    if (out.Close() != 0) ok = false;
    errno = saved;
    return ok;
}

// One side of a copy or a move: below a contained folder, or a host path.
struct Side {
    WinPath path;
    std::string host;   // outside: the host path
    bool contained = false;
    Place place;
    UniqueFd folder;    // contained: our own descriptor of the folder
    int FolderFd() const { return contained ? folder.Get() : AT_FDCWD; }
    const char* Name() const { return contained ? place.hostName.c_str() : host.c_str(); }
};

// Fills side for path; false with LastError() when its folder cannot be
// reached (a link on the way included).
bool PrepareSide(const std::string& path, Side* side) {
    ParseWindowsPath(path, &side->path);
    DWORD error = 0;
    switch (side->path.names.empty() ? Placing::kOutside : PlaceBelowContained(side->path, &side->place, &error)) {
        case Placing::kFailed: return Fail(error);
        case Placing::kPlaced:
            side->contained = true;
            // Our own descriptor: the next resolution may drop the kept one.
            side->folder.Reset(fcntl(side->place.folder, F_DUPFD_CLOEXEC, 0));
            if (!side->folder) return Fail(kErrorAccessDenied);
            return true;
        case Placing::kOutside: break;
    }
    side->host = HostPathOf(side->path);
    return true;
}

bool CopyContained(const std::string& source, const std::string& destination, bool failIfExists) {
    Side from, to;
    if (!PrepareSide(source, &from)) return false;
    UniqueFd in;
    struct stat sourceStat;
    if (from.contained) {
        if (!from.place.exists) return Fail(kErrorFileNotFound);
        in.Reset(OpenBeneath(from.FolderFd(), from.Name(), O_RDONLY | O_NONBLOCK));
        if (!in) return Fail(errno == EISDIR ? kErrorAccessDenied : ContainedErrorOf(errno, true));
    } else {
        if (from.host.empty() || stat(from.host.c_str(), &sourceStat) != 0)
            return Fail(from.host.empty() ? kErrorPathNotFound : MissingPathError(from.host));
        in.Reset(open(from.host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (!in) return Fail(WindowsErrorOf(errno, from.host));
    }
    if (fstat(in.Get(), &sourceStat) != 0) return Fail(kErrorAccessDenied);
    if (S_ISDIR(sourceStat.st_mode)) return Fail(kErrorAccessDenied);
    if (!PrepareSide(destination, &to)) return false;
    bool exists = false;
    struct stat destStat;
    if (to.contained) {
        exists = to.place.exists && fstatat(to.FolderFd(), to.Name(), &destStat, AT_SYMLINK_NOFOLLOW) == 0;
        // A link where the copy is to be written is never written through.
        if (exists && S_ISLNK(destStat.st_mode)) return Fail(kErrorCantResolveFilename);
    } else {
        if (to.host.empty() || !IsDirectoryHost(ParentOf(to.host))) return Fail(kErrorPathNotFound);
        exists = stat(to.host.c_str(), &destStat) == 0;
    }
    if (exists) {
        if (S_ISDIR(destStat.st_mode)) return Fail(kErrorAccessDenied);
        if (destStat.st_dev == sourceStat.st_dev && destStat.st_ino == sourceStat.st_ino)
            return Fail(kErrorSharingViolation);
        if (failIfExists) return Fail(kErrorFileExists);
    }
    char bits[16] = {};
    ssize_t bitsLength = fgetxattr(in.Get(), kDosAttribute, bits, sizeof bits - 1);
    ForgetPlain();
    UniqueFd out(to.contained ? OpenBeneath(to.FolderFd(), to.Name(), O_WRONLY | O_CREAT | O_TRUNC, 0644)
                              : open(to.host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!out) return Fail(to.contained ? ContainedErrorOf(errno, true) : WindowsErrorOf(errno, to.host));
    if (to.contained && !exists) NoteCreated(to.place, false);
    if (!CopyDescriptors(in.Get(), out.Get())) {
        int saved = errno;
        return Fail(to.contained ? ContainedErrorOf(saved, true) : WindowsErrorOf(saved, to.host));
    }
    if (!exists) {
        // A new copy takes the source's attributes and last-write time.
        fchmod(out.Get(), sourceStat.st_mode & 07777);
        if (bitsLength > 2) fsetxattr(out.Get(), kDosAttribute, bits, static_cast<size_t>(bitsLength), 0);
        timespec times[2] = {sourceStat.st_atim, sourceStat.st_mtim};
        futimens(out.Get(), times);
    }
    if (out.Close() != 0) return Fail(kErrorAccessDenied);
    lastError = 0;
    return true;
}

bool MoveContained(const std::string& fromPath, const std::string& toPath) {
    Side from, to;
    if (!PrepareSide(fromPath, &from)) return false;
    if (from.contained ? !from.place.exists : from.host.empty())
        return Fail(from.contained ? kErrorFileNotFound : kErrorPathNotFound);
    struct stat st;
    if (!from.contained && lstat(from.host.c_str(), &st) != 0) return Fail(MissingPathError(from.host));
    if (!PrepareSide(toPath, &to)) return false;
    if (!to.contained && (to.host.empty() || !IsDirectoryHost(ParentOf(to.host)))) return Fail(kErrorPathNotFound);
    ForgetPlain();
    // A rename never follows a link in its last names: a link moves, or is
    // replaced, itself.
    if (renameat(from.FolderFd(), from.Name(), to.FolderFd(), to.Name()) != 0)
        return Fail(to.contained ? ContainedErrorOf(errno, true) : WindowsErrorOf(errno, to.host));
    if (from.contained) NoteRemoved(from.place);
    if (to.contained) {
        NoteRemoved(to.place);
        NoteCreated(to.place, false);
        fsync(to.FolderFd());
    } else {
        UniqueFd folder(open(ParentOf(to.host).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder) fsync(folder.Get());
    }
    lastError = 0;
    return true;
}

// The folder and the wildcard of a pattern such as "C:\a/*.*".
void SplitPattern(const std::string& pattern, std::string* folder, std::string* wildcard) {
    std::size_t cut = pattern.find_last_of("\\/");
    if (cut == std::string::npos) {
        *folder = ".";
        *wildcard = pattern;
    } else {
        *folder = pattern.substr(0, cut + 1);
        *wildcard = pattern.substr(cut + 1);
    }
}

}  // namespace

intptr_t FindFirst(const std::string& pattern, FindData* data) {
    static intptr_t nextHandle = 1;
    std::string folder, wildcard;
    SplitPattern(pattern, &folder, &wildcard);
    WinPath path;
    ParseWindowsPath(folder, &path);
    std::string host = HostPathOf(path);
    UniqueDir dir(host.empty() ? nullptr : opendir(host.c_str()));
    if (!dir) {
        struct stat st;
        Fail(!host.empty() && stat(host.c_str(), &st) == 0 ? kErrorInvalidName : kErrorPathNotFound);
        return -1;
    }
    auto listing = std::make_unique<Listing>();
    std::vector<FindData> children;
    // Wine leaves the host's pseudo file systems out of a listing of the host
    // root (a drive mapped to "/"), and so do we.
    char real[PATH_MAX];
    bool hostRoot = realpath(host.c_str(), real) && std::strcmp(real, "/") == 0;
    while (dirent* entry = readdir(dir.Get())) {
        std::string hostName = entry->d_name;
        if (hostName == "." || hostName == "..") continue;
        if (hostRoot && (hostName == "dev" || hostName == "proc" || hostName == "sys")) continue;
        FindData item;
        item.name = AnsiFromUtf8(hostName);
        if (!Matches(wildcard, item.name)) continue;
        item.attrib = AttributesOfHost(host + "/" + hostName, item.name);
        if (item.attrib == kInvalidAttributes) continue;
        children.push_back(item);
    }
    // Wine lists a folder in one order whatever the host's readdir gives:
    // "." and ".." first (not at a drive root), then every other name sorted
    // by its upper-cased form, files and folders mixed. We do the same, so
    // that both builds see one enumeration order.
    std::sort(children.begin(), children.end(), [](const FindData& a, const FindData& b) {
        return UpperCase(a.name) < UpperCase(b.name);
    });
    if (!path.names.empty()) {
        for (const char* dot : {".", ".."}) {
            if (Matches(wildcard, dot)) listing->entries.push_back(FindData{kAttrDirectory, dot});
        }
    }
    listing->entries.insert(listing->entries.end(), children.begin(), children.end());
    if (listing->entries.empty()) {
        Fail(kErrorFileNotFound);
        return -1;
    }
    *data = listing->entries[0];
    listing->next = 1;
    intptr_t handle = nextHandle++;
    Listings()[handle] = std::move(listing);
    return handle;
}

int FindNext(intptr_t handle, FindData* data) {
    auto it = Listings().find(handle);
    if (it == Listings().end()) return -1;
    Listing& listing = *it->second;
    if (listing.next >= listing.entries.size()) {
        Fail(kErrorNoMoreFiles);
        return -1;
    }
    *data = listing.entries[listing.next++];
    return 0;
}

int FindClose(intptr_t handle) { return Listings().erase(handle) ? 0 : -1; }

int ChangeDir(const std::string& path) {
    if (path.empty()) return Fail(kErrorInvalidName), -1;
    WinPath parsed;
    ParseWindowsPath(path, &parsed);
    std::string host = HostPathOf(parsed);
    if (host.empty()) return Fail(kErrorPathNotFound), -1;
    if (!IsDirectoryHost(host)) {
        struct stat st;
        Fail(stat(host.c_str(), &st) == 0 ? kErrorDirectory : kErrorFileNotFound);
        return -1;
    }
    SetCurrentDirPath(parsed);
    return 0;
}

std::string CurrentDir() { return FormatWindowsPath(CurrentDirPath()); }

bool MakeFolder(const std::string& path) {
    WinPath parsed;
    ParseWindowsPath(path, &parsed);
    if (!DriveExists(parsed.drive)) return Fail(kErrorFileNotFound);
    if (HasInvalidCharacter(parsed)) return Fail(kErrorInvalidName);
    if (parsed.names.empty()) return Fail(kErrorAlreadyExists);
    Place place;
    DWORD error = 0;
    switch (PlaceBelowContained(parsed, &place, &error)) {
        case Placing::kFailed: return Fail(error);
        case Placing::kPlaced:
            ForgetPlainAt(place);
            // Any name of that spelling, a link included, is already there.
            if (place.exists) return Fail(kErrorAlreadyExists);
            if (mkdirat(place.folder, place.hostName.c_str(), 0777) != 0) return Fail(ContainedErrorOf(errno, true));
            NoteCreated(place, true);
            MarkPlain(place);
            return true;
        case Placing::kOutside: break;
    }
    std::string host = HostPathOf(parsed);
    // Whatever is already there, a link that leads nowhere included, fails
    // the mkdir with EEXIST.
    if (mkdir(host.c_str(), 0777) != 0) return Fail(WindowsErrorOf(errno, host));
    return true;
}

namespace {

// SHCreateDirectoryExA below a contained folder: the contained folder's own
// levels are made as the system gives them, every level below it without
// passing a link.
int MakeContainedTree(const WinPath& parsed) {
    Place place;
    DWORD error = 0;
    Placing placing = PlaceBelowContained(parsed, &place, &error);
    ForgetPlainAt(place);
    if (placing == Placing::kPlaced) {
        if (place.exists) return kErrorAlreadyExists;
        if (mkdirat(place.folder, place.hostName.c_str(), 0777) != 0)
            return static_cast<int>(ContainedErrorOf(errno, true));
        NoteCreated(place, true);
        MarkPlain(place);
        return 0;
    }
    if (error != kErrorPathNotFound) return static_cast<int>(error);
    const std::size_t rootLength = ContainedRootLength(parsed);
    WinPath level{parsed.drive, {}};
    for (const std::string& name : parsed.names) {
        level.names.push_back(name);
        Placing at = level.names.size() > rootLength ? PlaceBelowContained(level, &place, &error) : Placing::kOutside;
        if (at == Placing::kFailed) return static_cast<int>(error);
        if (at == Placing::kOutside) {
            std::string levelHost = HostPathOf(level);
            struct stat st;
            if (stat(levelHost.c_str(), &st) == 0) {
                if (!S_ISDIR(st.st_mode)) return kErrorPathNotFound;
                continue;
            }
            if (mkdir(levelHost.c_str(), 0777) != 0) return static_cast<int>(WindowsErrorOf(errno, levelHost));
            continue;
        }
        if (place.exists) {
            struct stat st;
            if (fstatat(place.folder, place.hostName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                return kErrorPathNotFound;
            if (S_ISLNK(st.st_mode)) return kErrorCantResolveFilename;
            if (!S_ISDIR(st.st_mode)) return kErrorPathNotFound;
            continue;
        }
        if (mkdirat(place.folder, place.hostName.c_str(), 0777) != 0)
            return static_cast<int>(ContainedErrorOf(errno, true));
        NoteCreated(place, true);
    }
    MarkPlain(place);
    return 0;
}

}  // namespace

int MakeFolderTree(const std::string& path) {
    bool absolute = path.size() >= 2 && path[1] == ':';
    if (!absolute) return kErrorBadPathname;
    WinPath parsed;
    ParseWindowsPath(path, &parsed);
    if (!DriveExists(parsed.drive)) return kErrorPathNotFound;
    if (HasInvalidCharacter(parsed)) return kErrorInvalidName;
    if (!PathExists(FormatWindowsPath(WinPath{parsed.drive, {}}))) return kErrorPathNotFound;
    if (!parsed.names.empty() && IsContained(parsed)) return MakeContainedTree(parsed);
    std::string host = HostPathOf(parsed);
    struct stat st;
    if (stat(host.c_str(), &st) == 0) return kErrorAlreadyExists;
    // Every missing level is made, whichever separator joins it.
    WinPath level{parsed.drive, {}};
    for (const std::string& name : parsed.names) {
        level.names.push_back(name);
        std::string levelHost = HostPathOf(level);
        if (stat(levelHost.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) return kErrorPathNotFound;
            continue;
        }
        if (mkdir(levelHost.c_str(), 0777) != 0) return static_cast<int>(WindowsErrorOf(errno, levelHost));
    }
    return 0;
}

bool CopyFileTo(const std::string& source, const std::string& destination, bool failIfExists) {
    {
        WinPath a, b;
        ParseWindowsPath(source, &a);
        ParseWindowsPath(destination, &b);
        if (IsContained(a) || IsContained(b)) return CopyContained(source, destination, failIfExists);
    }
    std::string from = HostPathOf(source);
    std::string to = HostPathOf(destination);
    struct stat sourceStat, destStat;
    if (from.empty() || stat(from.c_str(), &sourceStat) != 0) return Fail(from.empty() ? kErrorPathNotFound : MissingPathError(from));
    if (S_ISDIR(sourceStat.st_mode)) return Fail(kErrorAccessDenied);
    if (to.empty() || !IsDirectoryHost(ParentOf(to))) return Fail(kErrorPathNotFound);
    bool exists = stat(to.c_str(), &destStat) == 0;
    if (exists) {
        if (S_ISDIR(destStat.st_mode)) return Fail(kErrorAccessDenied);
        if (SameHostFile(from, to)) return Fail(kErrorSharingViolation);
        if (failIfExists) return Fail(kErrorFileExists);
    }
    DWORD sourceBits = StoredDosBits(from);
    if (!CopyContent(from, to)) return Fail(WindowsErrorOf(errno, to));
    if (!exists) {
        // A new copy takes the source's attributes and last-write time.
        chmod(to.c_str(), sourceStat.st_mode & 07777);
        StoreDosBits(to, sourceBits);
        struct timeval times[2] = {{sourceStat.st_atim.tv_sec, sourceStat.st_atim.tv_nsec / 1000},
                                   {sourceStat.st_mtim.tv_sec, sourceStat.st_mtim.tv_nsec / 1000}};
        utimes(to.c_str(), times);
    }
    lastError = 0;
    return true;
}

bool RemoveFile(const std::string& path) {
    WinPath parsed;
    ParseWindowsPath(path, &parsed);
    Place place;
    DWORD error = 0;
    switch (parsed.names.empty() ? Placing::kOutside : PlaceBelowContained(parsed, &place, &error)) {
        case Placing::kFailed: return Fail(error);
        case Placing::kPlaced: {
            ForgetPlain();
            struct stat st;
            if (!place.exists || fstatat(place.folder, place.hostName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                return Fail(kErrorFileNotFound);
            if (S_ISDIR(st.st_mode)) return Fail(kErrorAccessDenied);
            // A link goes itself; a read-only file stays, as on Windows.
            if (!S_ISLNK(st.st_mode) && (st.st_mode & 0222) == 0) return Fail(kErrorAccessDenied);
            if (unlinkat(place.folder, place.hostName.c_str(), 0) != 0) return Fail(ContainedErrorOf(errno, true));
            NoteRemoved(place);
            return true;
        }
        case Placing::kOutside: break;
    }
    std::string host = HostPathOf(path);
    struct stat st;
    if (host.empty() || lstat(host.c_str(), &st) != 0) return Fail(host.empty() ? kErrorPathNotFound : MissingPathError(host));
    if (S_ISDIR(st.st_mode)) return Fail(kErrorAccessDenied);
    // A read-only file cannot be deleted, not even by an administrator.
    if (!S_ISLNK(st.st_mode) && (st.st_mode & 0222) == 0) return Fail(kErrorAccessDenied);
    if (unlink(host.c_str()) != 0) return Fail(WindowsErrorOf(errno, host));
    return true;
}

bool RemoveFolder(const std::string& path) {
    WinPath parsed;
    ParseWindowsPath(path, &parsed);
    Place place;
    DWORD error = 0;
    switch (parsed.names.empty() ? Placing::kOutside : PlaceBelowContained(parsed, &place, &error)) {
        case Placing::kFailed: return Fail(error);
        case Placing::kPlaced: {
            ForgetPlain();
            struct stat st;
            if (!place.exists || fstatat(place.folder, place.hostName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                return Fail(kErrorFileNotFound);
            const char* name = place.hostName.c_str();
            if (S_ISLNK(st.st_mode)) {
                // A folder link goes itself; what it points to stays.
                struct stat target;
                if (fstatat(place.folder, name, &target, 0) != 0 || !S_ISDIR(target.st_mode))
                    return Fail(kErrorDirectory);
                if (unlinkat(place.folder, name, 0) != 0) return Fail(ContainedErrorOf(errno, true));
            } else {
                if (!S_ISDIR(st.st_mode)) return Fail(kErrorDirectory);
                if (IsCurrentDirectory(st)) return Fail(kErrorSharingViolation);
                if (unlinkat(place.folder, name, AT_REMOVEDIR) != 0) return Fail(ContainedErrorOf(errno, true));
            }
            NoteRemoved(place);
            return true;
        }
        case Placing::kOutside: break;
    }
    std::string host = HostPathOf(parsed);
    struct stat st;
    if (host.empty() || lstat(host.c_str(), &st) != 0) return Fail(host.empty() ? kErrorPathNotFound : MissingPathError(host));
    if (S_ISLNK(st.st_mode)) {
        // A folder link goes itself; what it points to stays.
        if (!IsDirectoryHost(host)) return Fail(kErrorDirectory);
        if (unlink(host.c_str()) != 0) return Fail(WindowsErrorOf(errno, host));
        return true;
    }
    if (!S_ISDIR(st.st_mode)) return Fail(kErrorDirectory);
    // Windows keeps the current directory of a process from being removed.
    std::string current = HostPathOf(CurrentDirPath());
    if (!current.empty() && SameHostFile(current, host)) return Fail(kErrorSharingViolation);
    if (rmdir(host.c_str()) != 0) return Fail(WindowsErrorOf(errno, host));
    return true;
}

bool SetAttributes(const std::string& path, DWORD attributes) {
    WinPath parsed;
    ParseWindowsPath(path, &parsed);
    DWORD wanted = (attributes & kAttrNormal) ? 0 : attributes;
    // A file or folder this run has just made carries no marks: clearing
    // them changes nothing, and costs nothing.
    if ((wanted & (kAttrReadOnly | kAttrHidden | kAttrSystem)) == 0 && IsKnownPlain(parsed)) return true;
    Place place;
    DWORD error = 0;
    switch (parsed.names.empty() ? Placing::kOutside : PlaceBelowContained(parsed, &place, &error)) {
        case Placing::kFailed: return Fail(error);
        case Placing::kPlaced: {
            ForgetPlainAt(place);
            struct stat st;
            if (!place.exists || fstatat(place.folder, place.hostName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                return Fail(kErrorFileNotFound);
            if (S_ISLNK(st.st_mode)) return true;
            if (!S_ISDIR(st.st_mode)) {
                mode_t mode = st.st_mode & 07777;
                if (wanted & kAttrReadOnly)
                    mode &= ~mode_t(0222);
                else if ((mode & 0222) == 0)
                    mode |= 0200;
                if (mode != (st.st_mode & 07777)) ChangeModeAt(place.folder, place.hostName, mode);
            }
            StoreDosBitsAt(place, wanted);
            return true;
        }
        case Placing::kOutside: break;
    }
    std::string host = HostPathOf(path);
    struct stat st;
    if (host.empty() || lstat(host.c_str(), &st) != 0) return Fail(host.empty() ? kErrorPathNotFound : MissingPathError(host));
    if (S_ISLNK(st.st_mode)) return true;
    if (attributes & kAttrNormal) attributes = 0;
    if (!S_ISDIR(st.st_mode)) {
        // Read-only is the absence of every write bit, as Wine keeps it.
        mode_t mode = st.st_mode & 07777;
        if (attributes & kAttrReadOnly)
            mode &= ~mode_t(0222);
        else if ((mode & 0222) == 0)
            mode |= 0200;
        if (mode != (st.st_mode & 07777)) chmod(host.c_str(), mode);
    }
    StoreDosBits(host, attributes);
    return true;
}

DWORD GetAttributes(const std::string& path) {
    std::string host = HostPathOf(path);
    WinPath parsed;
    ParseWindowsPath(path, &parsed);
    DWORD attrib = host.empty() ? kInvalidAttributes
                                : AttributesOfHost(host, parsed.names.empty() ? "" : parsed.names.back());
    if (attrib == kInvalidAttributes) Fail(host.empty() ? kErrorPathNotFound : MissingPathError(host));
    return attrib;
}

bool MoveFileReplace(const std::string& from, const std::string& to) {
    {
        WinPath a, b;
        ParseWindowsPath(from, &a);
        ParseWindowsPath(to, &b);
        if (IsContained(a) || IsContained(b)) return MoveContained(from, to);
    }
    std::string source = HostPathOf(from);
    std::string target = HostPathOf(to);
    struct stat st;
    if (source.empty() || lstat(source.c_str(), &st) != 0)
        return Fail(source.empty() ? kErrorPathNotFound : MissingPathError(source));
    if (target.empty() || !IsDirectoryHost(ParentOf(target))) return Fail(kErrorPathNotFound);
    if (rename(source.c_str(), target.c_str()) != 0) return Fail(WindowsErrorOf(errno, target));
    // The rename is durable once the folder that holds it is.
    UniqueFd folder(open(ParentOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) fsync(folder.Get());
    lastError = 0;
    return true;
}

void SetContainedFolders(const std::vector<std::string>& folders) { SetContained(folders); }

int PathExists(const std::string& path) {
    if (path.empty() || path.find_first_of("*?\"<>|") != std::string::npos) {
        Fail(path.empty() ? kErrorPathNotFound : kErrorInvalidName);
        return 0;
    }
    WinPath parsed;
    ParseWindowsPath(path, &parsed);
    std::string host = HostPathOf(parsed);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0) {
        Fail(host.empty() ? kErrorPathNotFound : MissingPathError(host));
        return 0;
    }
    // A file named with a trailing separator does not exist.
    char last = path.back();
    if ((last == '\\' || last == '/') && !S_ISDIR(st.st_mode)) {
        Fail(kErrorPathNotFound);
        return 0;
    }
    return 1;
}

}  // namespace plat::backend
