// The contained folders: opened once, walked below without following links,
// kept open while the kernel watches them (see contained.h).
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "platform/posix/contained.h"
#include "platform/posix/machine.h"

namespace plat::posix {

struct FolderNode {
    UniqueFd fd;
    int watch = -1;  // -1: not watched, kept for the current call only
    bool namesKnown = false;
    bool namesTried = false;
    // The host names, by the upper-cased ANSI form a lookup compares.
    std::unordered_map<std::string, std::vector<std::string>> names;
    // The folders resolved below this one, by the upper-cased name asked for.
    std::map<std::string, std::unique_ptr<FolderNode>> children;
    FolderNode* parent = nullptr;
    std::string hostName;  // its name in the parent; empty for a contained folder
    std::string rootKey;   // for a contained folder: its key in the roots
};

namespace {

// Past this many open folders everything is closed and gathered again.
constexpr std::size_t kMaxNodes = 2048;
// The files and folders known to be plain: more than a package's writer
// keeps open at once.
constexpr std::size_t kMostPlain = 256;

constexpr uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

struct ContainedFolder {
    char drive = 'C';
    std::vector<std::string> keys;  // upper-cased names
};

struct State {
    std::vector<ContainedFolder> folders;
    std::map<std::string, std::unique_ptr<FolderNode>> roots;
    UniqueFd watcher;
    bool watcherUnavailable = false;
    bool unwatchedKept = false;  // a folder is kept without a watch: drop all before the next call
    std::unordered_map<int, std::vector<FolderNode*>> byWatch;
    std::size_t nodes = 0;
    unsigned long generation = 0;  // counts the drops: a place from before one may name a dropped folder
    // What this run has just made, plain as it was made: the most recent
    // kMostPlain, oldest first, and the same keys for lookup.
    std::deque<std::string> plainOrder;
    std::unordered_set<std::string> plainKeys;
    bool newFilesPlain = true;
    bool componentWalkOnly = false;
    bool noOpenat2 = false;
};

State& TheState() {
    static State state;
    return state;
}

std::string KeyOfHostName(const std::string& hostName) { return UpperCase(AnsiFromUtf8(hostName)); }

void AddName(FolderNode& node, const std::string& hostName) {
    std::vector<std::string>& names = node.names[KeyOfHostName(hostName)];
    for (const std::string& name : names)
        if (name == hostName) return;
    names.push_back(hostName);
}

void RemoveName(FolderNode& node, const std::string& hostName) {
    auto it = node.names.find(KeyOfHostName(hostName));
    if (it == node.names.end()) return;
    std::vector<std::string>& names = it->second;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == hostName) {
            names.erase(names.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    if (names.empty()) node.names.erase(it);
}

// Forgets the watches of node and of everything below it; the caller drops
// the node itself. watchGone: the kernel has already removed node's watch.
void Unwatch(State& state, FolderNode& node, bool watchGone) {
    for (auto& child : node.children) Unwatch(state, *child.second, false);
    state.nodes -= node.children.size();
    node.children.clear();
    if (node.watch < 0) return;
    auto it = state.byWatch.find(node.watch);
    if (it != state.byWatch.end()) {
        std::vector<FolderNode*>& users = it->second;
        for (std::size_t i = 0; i < users.size(); ++i) {
            if (users[i] == &node) {
                users.erase(users.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
        if (users.empty()) {
            if (!watchGone && state.watcher) inotify_rm_watch(state.watcher.Get(), node.watch);
            state.byWatch.erase(it);
        }
    }
    node.watch = -1;
}

void Drop(State& state, FolderNode* node, bool watchGone) {
    ++state.generation;
    Unwatch(state, *node, watchGone);
    if (node->parent) {
        FolderNode* parent = node->parent;
        for (auto it = parent->children.begin(); it != parent->children.end(); ++it) {
            if (it->second.get() == node) {
                parent->children.erase(it);
                --state.nodes;
                return;
            }
        }
    } else {
        auto it = state.roots.find(node->rootKey);
        if (it != state.roots.end() && it->second.get() == node) {
            state.roots.erase(it);
            --state.nodes;
        }
    }
}

void DropChildrenNamed(State& state, FolderNode& node, const std::string& hostName) {
    for (auto it = node.children.begin(); it != node.children.end();) {
        FolderNode* child = (it++)->second.get();
        if (child->hostName == hostName) Drop(state, child, false);
    }
}

// The key of a kept folder, spelt as KeyOfPath spells it.
std::string KeyOfNode(const FolderNode& node) {
    if (!node.parent) return node.rootKey;
    return KeyOfNode(*node.parent) + "\\" + KeyOfHostName(node.hostName);
}

// Drops the contained folders kept at key or below it: what stood there was
// removed or renamed, and a folder made later under that name is another one.
void DropRootsAt(State& state, const std::string& key) {
    for (auto it = state.roots.begin(); it != state.roots.end();) {
        FolderNode* root = (it++)->second.get();
        const std::string& at = root->rootKey;
        if (at == key || (at.size() > key.size() && at.compare(0, key.size(), key) == 0 && at[key.size()] == '\\'))
            Drop(state, root, false);
    }
}

void DropAll(State& state) {
    ++state.generation;
    for (auto& root : state.roots) Unwatch(state, *root.second, true);
    state.roots.clear();
    state.byWatch.clear();
    state.nodes = 0;
    state.watcher.Reset();
    state.plainOrder.clear();
    state.plainKeys.clear();
}

// Forgets the plain marks at key and, with below, at everything under it.
void ForgetPlainKeys(State& state, const std::string& key, bool below) {
    if (state.plainKeys.empty()) return;
    auto at = [&](const std::string& k) {
        return k == key || (below && k.size() > key.size() && k.compare(0, key.size(), key) == 0 && k[key.size()] == '\\');
    };
    if (!below && !state.plainKeys.count(key)) return;
    for (auto it = state.plainOrder.begin(); it != state.plainOrder.end();) {
        if (at(*it)) {
            state.plainKeys.erase(*it);
            it = state.plainOrder.erase(it);
        } else {
            ++it;
        }
    }
}

// Applies every change the kernel has queued for the watched folders.
void ReadEvents(State& state) {
    if (!state.watcher) return;
    constexpr std::size_t kLargestEvent = sizeof(inotify_event) + NAME_MAX + 1;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        ssize_t n = read(state.watcher.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                // Changes were lost: nothing kept can be trusted.
                DropAll(state);
                return;
            }
            auto it = state.byWatch.find(event->wd);
            if (it == state.byWatch.end()) continue;
            std::vector<FolderNode*> users = it->second;
            if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
                bool gone = (event->mask & IN_IGNORED) != 0;
                for (FolderNode* node : users) Drop(state, node, gone);
                continue;
            }
            if (event->len == 0) continue;
            std::string name = event->name;
            // A contained folder held open reports nothing of its own removal:
            // its parent's word is what tells that it is gone.
            std::vector<std::string> namedKeys;
            for (FolderNode* node : users) namedKeys.push_back(KeyOfNode(*node) + "\\" + KeyOfHostName(name));
            for (const std::string& key : namedKeys) DropRootsAt(state, key);
            // A name removed or replaced behind our back is no longer one we made.
            if (event->mask & (IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO))
                for (const std::string& key : namedKeys) ForgetPlainKeys(state, key, true);
            users = state.byWatch.count(event->wd) ? state.byWatch[event->wd] : std::vector<FolderNode*>();
            for (FolderNode* node : users) {
                // Whatever now stands under that name is not the folder kept for it.
                DropChildrenNamed(state, *node, name);
                if (!node->namesKnown) continue;
                if (event->mask & (IN_CREATE | IN_MOVED_TO))
                    AddName(*node, name);
                else
                    RemoveName(*node, name);
            }
        }
        // A read that left room for another event emptied the queue.
        if (static_cast<std::size_t>(n) + kLargestEvent <= sizeof buffer) return;
    }
}

// Watches node's folder; without a watch the node serves this call only.
void Watch(State& state, FolderNode& node) {
    if (!state.watcher && !state.watcherUnavailable) {
        state.watcher.Reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        if (!state.watcher) state.watcherUnavailable = true;
    }
    if (!state.watcher) {
        state.unwatchedKept = true;
        return;
    }
    std::string procPath = "/proc/self/fd/" + std::to_string(node.fd.Get());
    int watch = inotify_add_watch(state.watcher.Get(), procPath.c_str(), kWatchMask);
    if (watch < 0) {
        state.unwatchedKept = true;
        return;
    }
    node.watch = watch;
    state.byWatch[watch].push_back(&node);
}

bool ReadNames(FolderNode& node) {
    alignas(8) char buffer[32768];
    // A fresh descriptor reads from the start; one read before is wound back.
    if (node.namesTried && lseek(node.fd.Get(), 0, SEEK_SET) != 0) return false;
    node.namesTried = true;
    node.names.clear();
    for (;;) {
        long n = syscall(SYS_getdents64, node.fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            node.names.clear();
            return false;
        }
        if (n == 0) break;
        for (long at = 0; at < n;) {
            struct Entry {
                uint64_t inode;
                int64_t offset;
                unsigned short length;
                unsigned char type;
                char name[1];
            };
            const auto* entry = reinterpret_cast<const Entry*>(buffer + at);
            at += entry->length;
            if (std::strcmp(entry->name, ".") == 0 || std::strcmp(entry->name, "..") == 0) continue;
            AddName(node, entry->name);
        }
    }
    node.namesKnown = true;
    return true;
}

// The host spelling of ansiName in node's folder: the exact name when it is
// there, else the first that differs only in case. False when none is there.
bool FindName(FolderNode& node, const std::string& ansiName, std::string* hostName) {
    std::string exact = Utf8FromAnsi(ansiName);
    auto it = node.names.find(UpperCase(ansiName));
    if (it == node.names.end()) {
        *hostName = exact;
        return false;
    }
    for (const std::string& name : it->second) {
        if (name == exact) {
            *hostName = exact;
            return true;
        }
    }
    *hostName = it->second.front();
    return true;
}

bool MatchesFolder(const ContainedFolder& folder, const WinPath& path) {
    if (folder.drive != path.drive || folder.keys.size() > path.names.size()) return false;
    for (std::size_t i = 0; i < folder.keys.size(); ++i)
        if (UpperCase(path.names[i]) != folder.keys[i]) return false;
    return true;
}

// The number of path's names that make up the folder taken as the system
// gives it: the longest contained folder that path lies below, or the folder
// of a contained path itself. 0: outside.
std::size_t RootLengthOf(const State& state, const WinPath& path) {
    std::size_t best = 0;
    bool found = false;
    for (const ContainedFolder& folder : state.folders) {
        if (folder.keys.empty() || !MatchesFolder(folder, path)) continue;
        std::size_t length = folder.keys.size() == path.names.size() ? folder.keys.size() - 1 : folder.keys.size();
        if (!found || length > best) best = length;
        found = true;
    }
    return found && best > 0 ? best : 0;
}

std::string KeyOfPath(const WinPath& path, std::size_t count) {
    std::string key(1, path.drive);
    key += ':';
    for (std::size_t i = 0; i < count; ++i) key += "\\" + UpperCase(path.names[i]);
    return key;
}

FolderNode* RootNode(State& state, const WinPath& path, std::size_t length, DWORD* error, bool watchParent = true) {
    std::string key = KeyOfPath(path, length);
    auto it = state.roots.find(key);
    if (it != state.roots.end()) return it->second.get();
    if (watchParent && length > 1) {
        // Kept and watched too, so that the folder's removal or renaming
        // behind our back is seen (see ReadEvents).
        DWORD ignored = 0;
        RootNode(state, path, length - 1, &ignored, false);
    }
    // The contained folder itself, as the system gives it: links followed.
    WinPath root{path.drive, {path.names.begin(), path.names.begin() + static_cast<std::ptrdiff_t>(length)}};
    std::string host = HostPathOf(FormatWindowsPath(root));
    int fd = host.empty() ? -1 : open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *error = host.empty() || errno == ENOENT || errno == ENOTDIR ? kErrorPathNotFound : WindowsErrorOf(errno, host);
        return nullptr;
    }
    if (state.nodes >= kMaxNodes) DropAll(state);
    auto node = std::make_unique<FolderNode>();
    node->fd.Reset(fd);
    node->rootKey = key;
    Watch(state, *node);
    FolderNode* kept = node.get();
    state.roots[key] = std::move(node);
    ++state.nodes;
    return kept;
}

FolderNode* ChildNode(State& state, FolderNode& parent, const std::string& ansiName, DWORD* error) {
    std::string key = UpperCase(ansiName);
    auto it = parent.children.find(key);
    if (it != parent.children.end()) return it->second.get();
    std::string hostName;
    int fd = -1;
    if (parent.namesKnown) {
        if (!FindName(parent, ansiName, &hostName)) {
            *error = kErrorPathNotFound;
            return nullptr;
        }
        fd = OpenBeneath(parent.fd.Get(), hostName, O_RDONLY | O_DIRECTORY);
    } else {
        // The name as spelled costs one call; only a missing one is looked up by case.
        hostName = Utf8FromAnsi(ansiName);
        fd = OpenBeneath(parent.fd.Get(), hostName, O_RDONLY | O_DIRECTORY);
        if (fd < 0 && errno == ENOENT && ReadNames(parent)) {
            if (!FindName(parent, ansiName, &hostName)) {
                *error = kErrorPathNotFound;
                return nullptr;
            }
            fd = OpenBeneath(parent.fd.Get(), hostName, O_RDONLY | O_DIRECTORY);
        }
    }
    if (fd < 0) {
        *error = ContainedErrorOf(errno, false);
        return nullptr;
    }
    auto node = std::make_unique<FolderNode>();
    node->fd.Reset(fd);
    node->parent = &parent;
    node->hostName = hostName;
    if (state.nodes < kMaxNodes)
        Watch(state, *node);
    else
        state.unwatchedKept = true;  // too many kept: this one serves the call only
    FolderNode* kept = node.get();
    parent.children[key] = std::move(node);
    ++state.nodes;
    return kept;
}

}  // namespace

int OpenBeneath(int folder, const std::string& name, int flags, unsigned mode) {
    State& state = TheState();
    flags |= O_CLOEXEC;
    if (!state.noOpenat2 && !state.componentWalkOnly) {
        open_how how{};
        how.flags = static_cast<uint64_t>(flags);
        how.mode = (flags & O_CREAT) ? mode : 0;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
        for (;;) {
            long fd = syscall(SYS_openat2, folder, name.c_str(), &how, sizeof how);
            if (fd >= 0) return static_cast<int>(fd);
            if (errno == EINTR) continue;
            if (errno != ENOSYS) return -1;
            state.noOpenat2 = true;
            break;
        }
    }
    // Names never hold a separator here, so one name with O_NOFOLLOW is the
    // whole of the rule.
    int fd = openat(folder, name.c_str(), flags | O_NOFOLLOW, mode);
    if (fd < 0 && errno == ENOTDIR && (flags & O_DIRECTORY)) {
        // A link asked for as a folder fails as "not a folder": say what it is.
        struct stat st;
        if (fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) errno = ELOOP;
        else errno = ENOTDIR;
    }
    return fd;
}

DWORD ContainedErrorOf(int error, bool parentKnown) {
    switch (error) {
        // Windows answers a link it must not pass with this code.
        case ELOOP: return kErrorCantResolveFilename;
        case ENOENT: return parentKnown ? kErrorFileNotFound : kErrorPathNotFound;
        case ENOTDIR: return kErrorPathNotFound;
        case EEXIST: return kErrorAlreadyExists;
        case ENOTEMPTY: return kErrorDirNotEmpty;
        case ENOSPC:
        case EDQUOT: return kErrorDiskFull;
        case ENAMETOOLONG: return kErrorFilenameExcedRange;
        case EBUSY: return kErrorSharingViolation;
        case EXDEV: return kErrorNotSameDevice;
        default: return kErrorAccessDenied;
    }
}

bool IsContained(const WinPath& path) { return RootLengthOf(TheState(), path) > 0; }

std::size_t ContainedRootLength(const WinPath& path) { return RootLengthOf(TheState(), path); }

Placing PlaceBelowContained(const WinPath& path, Place* place, DWORD* error) {
    State& state = TheState();
    if (state.folders.empty()) return Placing::kOutside;
    std::size_t length = RootLengthOf(state, path);
    if (length == 0) return Placing::kOutside;
    ReadEvents(state);
    if (state.unwatchedKept) {
        // What the kernel does not watch for us serves one call only.
        DropAll(state);
        state.unwatchedKept = false;
    }
    FolderNode* node = RootNode(state, path, length, error);
    for (std::size_t i = length; node && i + 1 < path.names.size(); ++i)
        node = ChildNode(state, *node, path.names[i], error);
    if (!node) return Placing::kFailed;
    const std::string& last = path.names.back();
    place->folder = node->fd.Get();
    place->node = node;
    place->generation = state.generation;
    place->key = KeyOfPath(path, path.names.size());
    if (node->namesKnown || ReadNames(*node)) {
        place->exists = FindName(*node, last, &place->hostName);
    } else {
        place->hostName = Utf8FromAnsi(last);
        struct stat st;
        place->exists = fstatat(node->fd.Get(), place->hostName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    }
    return Placing::kPlaced;
}

namespace {

// A place's folder is still kept (nothing was dropped since it was resolved).
// When it is not, the kernel's word brings the change on the next call.
bool StillKept(const Place& place) { return place.node && place.generation == TheState().generation; }

}  // namespace

void NoteCreated(const Place& place, bool /*isFolder*/) {
    if (!StillKept(place)) return;
    if (place.node->namesKnown) AddName(*place.node, place.hostName);
}

void NoteRemoved(const Place& place) {
    State& state = TheState();
    ForgetPlainKeys(state, place.key, true);
    DropRootsAt(state, place.key);
    if (!StillKept(place)) return;
    DropChildrenNamed(state, *place.node, place.hostName);
    if (place.node->namesKnown) RemoveName(*place.node, place.hostName);
}

void MarkPlain(const Place& place) {
    State& state = TheState();
    ForgetPlainKeys(state, place.key, false);
    if (!state.newFilesPlain) return;
    state.plainOrder.push_back(place.key);
    state.plainKeys.insert(place.key);
    if (state.plainOrder.size() > kMostPlain) {
        state.plainKeys.erase(state.plainOrder.front());
        state.plainOrder.pop_front();
    }
}

bool IsKnownPlain(const WinPath& path) {
    State& state = TheState();
    return !state.plainKeys.empty() && !path.names.empty() && state.plainKeys.count(KeyOfPath(path, path.names.size()));
}

void ForgetPlain() {
    State& state = TheState();
    state.plainOrder.clear();
    state.plainKeys.clear();
}

void ForgetPlainAt(const Place& place) { ForgetPlainKeys(TheState(), place.key, false); }

void SetContained(const std::vector<std::string>& folders) {
    State& state = TheState();
    std::vector<ContainedFolder> wanted;
    for (const std::string& folder : folders) {
        if (folder.size() < 2 || folder[1] != ':') continue;  // only absolute paths name a folder
        WinPath parsed;
        ParseWindowsPath(folder, &parsed);
        if (parsed.names.empty()) continue;  // a drive root is never ours
        ContainedFolder kept;
        kept.drive = parsed.drive;
        for (const std::string& name : parsed.names) kept.keys.push_back(UpperCase(name));
        wanted.push_back(kept);
    }
    bool same = wanted.size() == state.folders.size();
    for (std::size_t i = 0; same && i < wanted.size(); ++i)
        same = wanted[i].drive == state.folders[i].drive && wanted[i].keys == state.folders[i].keys;
    if (same) return;  // what is kept stays good
    DropAll(state);
    state.folders = std::move(wanted);
    // A file this run creates is plain unless the process's mask takes every write bit.
    mode_t mask = umask(0);
    umask(mask);
    state.newFilesPlain = ((0666 & ~mask) & 0222) != 0;
}

void ForgetContained() {
    State& state = TheState();
    DropAll(state);
    state.folders.clear();
    state.watcherUnavailable = false;
}

void UseComponentWalkOnly(bool only) { TheState().componentWalkOnly = only; }

}  // namespace plat::posix
