// The names of the host folders met while mapping Windows paths, kept so that
// looking a name up without regard to case does not read the whole folder
// again on every call (which made writing N files into one folder quadratic).
//
// A folder's names are kept only while the kernel watches that folder for us
// (inotify): every creation, deletion and rename inside it, ours or another
// process's, is queued before the call that made it returns, and the queue is
// read before each use, so the kept names are never older than the folder.
// The folder's inode and last-write time are checked as well; a folder that
// changed without a word from the kernel (a network file system) is read
// again. Where the kernel will not watch, every lookup reads the folder.
#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/posix/machine.h"
#include "platform/posix/posix_internal.h"
#include "platform/posix/unique_fd.h"

namespace plat::posix {
namespace {

// Past this many folders everything is dropped and gathered again.
constexpr std::size_t kMaxFolders = 4096;

constexpr uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                IN_ONLYDIR | IN_EXCL_UNLINK;

struct FolderNames {
    dev_t device = 0;
    ino_t inode = 0;
    timespec written{};
    bool changedByEvents = false;
    // The host names, by the upper-cased ANSI form a lookup compares.
    std::unordered_map<std::string, std::vector<std::string>> byKey;
};

struct Cache {
    UniqueFd watcher;  // the inotify descriptor; none until first needed
    bool unavailable = false;
    std::unordered_map<int, FolderNames> byWatch;
    std::map<std::pair<dev_t, ino_t>, int> watchOf;
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

std::string KeyOf(const char* hostName) { return UpperCase(AnsiFromUtf8(hostName)); }

void AddName(FolderNames& folder, const char* hostName) {
    std::vector<std::string>& names = folder.byKey[KeyOf(hostName)];
    for (const std::string& name : names)
        if (name == hostName) return;
    names.push_back(hostName);
}

void RemoveName(FolderNames& folder, const char* hostName) {
    auto it = folder.byKey.find(KeyOf(hostName));
    if (it == folder.byKey.end()) return;
    std::vector<std::string>& names = it->second;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == hostName) {
            names.erase(names.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    if (names.empty()) folder.byKey.erase(it);
}

void Forget(Cache& cache) {
    cache.watcher.Reset();
    cache.byWatch.clear();
    cache.watchOf.clear();
}

void DropWatch(Cache& cache, int watch) {
    auto it = cache.byWatch.find(watch);
    if (it == cache.byWatch.end()) return;
    cache.watchOf.erase({it->second.device, it->second.inode});
    cache.byWatch.erase(it);
}

// Applies every change the kernel has queued.
void ReadEvents(Cache& cache) {
    if (!cache.watcher) return;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        ssize_t n = read(cache.watcher.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                // Changes were lost: nothing kept can be trusted.
                Forget(cache);
                return;
            }
            if (event->mask & (IN_IGNORED | IN_DELETE_SELF)) {
                DropWatch(cache, event->wd);
                continue;
            }
            auto it = cache.byWatch.find(event->wd);
            if (it == cache.byWatch.end() || event->len == 0) continue;
            if (event->mask & (IN_CREATE | IN_MOVED_TO))
                AddName(it->second, event->name);
            else if (event->mask & (IN_DELETE | IN_MOVED_FROM))
                RemoveName(it->second, event->name);
            it->second.changedByEvents = true;
        }
    }
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// Reads the folder open on the descriptor into folder.
bool ReadFolder(UniqueFd dirFd, FolderNames& folder) {
    UniqueDir dir(ListingOf(std::move(dirFd)));
    if (!dir) return false;
    folder.byKey.clear();
    while (dirent* entry = readdir(dir.Get())) AddName(folder, entry->d_name);
    return true;
}

// The kept names of the folder at hostFolder, up to date; nullptr when they
// cannot be kept.
const FolderNames* NamesOf(const std::string& hostFolder) {
    Cache& cache = TheCache();
    if (cache.unavailable) return nullptr;
    if (!cache.watcher) {
        cache.watcher.Reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        if (!cache.watcher) {
            cache.unavailable = true;
            return nullptr;
        }
    }
    ReadEvents(cache);
    if (!cache.watcher) return nullptr;  // overflowed: gather again on the next call
    struct stat st;
    if (stat(hostFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return nullptr;
    auto known = cache.watchOf.find({st.st_dev, st.st_ino});
    if (known != cache.watchOf.end()) {
        FolderNames& folder = cache.byWatch[known->second];
        if (folder.changedByEvents) {
            // Our own writes (and anyone's) arrived as events: the names are
            // current, and so is the time they left.
            folder.written = st.st_mtim;
            folder.changedByEvents = false;
            return &folder;
        }
        if (SameTime(folder.written, st.st_mtim)) return &folder;
        DropWatch(cache, known->second);  // changed unseen: read it again below
    }
    if (cache.byWatch.size() >= kMaxFolders) {
        Forget(cache);
        cache.watcher.Reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        if (!cache.watcher) return nullptr;
    }
    // Watch, inspect and read the very folder that was opened, so that a
    // folder swapped in under the same path cannot be mixed up with it; the
    // watch comes first so that no change made during the reading is missed.
    UniqueFd dirFd(open(hostFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dirFd) return nullptr;
    struct stat opened;
    std::string procPath = "/proc/self/fd/" + std::to_string(dirFd.Get());
    int watch = inotify_add_watch(cache.watcher.Get(), procPath.c_str(), kWatchMask);
    if (watch < 0 || fstat(dirFd.Get(), &opened) != 0) {
        if (watch < 0 && errno == ENOENT) cache.unavailable = true;  // no /proc
        return nullptr;
    }
    if (cache.byWatch.count(watch)) DropWatch(cache, watch);
    FolderNames folder;
    folder.device = opened.st_dev;
    folder.inode = opened.st_ino;
    folder.written = opened.st_mtim;
    if (!ReadFolder(std::move(dirFd), folder)) {
        inotify_rm_watch(cache.watcher.Get(), watch);
        return nullptr;
    }
    cache.watchOf[{folder.device, folder.inode}] = watch;
    cache.byWatch[watch] = std::move(folder);
    // Changes made while the folder was read are applied now.
    ReadEvents(cache);
    auto kept = cache.byWatch.find(watch);
    return kept == cache.byWatch.end() ? nullptr : &kept->second;
}

}  // namespace

void ForgetFolderNames() {
    Cache& cache = TheCache();
    Forget(cache);
    cache.unavailable = false;
}

std::string HostChild(const std::string& hostFolder, const std::string& ansiName, bool exactMissing) {
    std::string exact = hostFolder + "/" + Utf8FromAnsi(ansiName);
    struct stat st;
    if (!exactMissing && lstat(exact.c_str(), &st) == 0) return exact;
    if (const FolderNames* folder = NamesOf(hostFolder)) {
        auto it = folder->byKey.find(UpperCase(ansiName));
        if (it == folder->byKey.end()) return exact;
        // One name of that spelling: it is the match. Several differing only
        // in case: the first the folder lists, as a reading finds it.
        if (it->second.size() == 1) return hostFolder + "/" + it->second.front();
    }
    if (UniqueDir dir(opendir(hostFolder.c_str())); dir) {
        std::string found;
        while (dirent* entry = readdir(dir.Get())) {
            if (SameNameIgnoringCase(AnsiFromUtf8(entry->d_name), ansiName)) {
                found = entry->d_name;
                break;
            }
        }
        if (!found.empty()) return hostFolder + "/" + found;
    }
    return exact;
}

}  // namespace plat::posix
