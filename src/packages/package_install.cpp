#include "packages/package_install.h"

#include <zlib.h>

#include <cctype>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <vector>

#include "core/installer_state.h"
#include "core/log.h"
#include "core/owned_folders.h"
#include "core/progress.h"
#include "packages/package_feed.h"
#include "packages/package_reader.h"
#include "packages/package_stream.h"
#include "platform/platform.h"

namespace {

// A file whose bytes are being written: filled in by the walk, finished by the writer.
struct PendingFile {
    std::string path;
    std::string key;  // SameFileKey of path
    plat::Stream* stream = nullptr;
    const std::uint8_t* content = nullptr;
    std::uint32_t size = 0;
    bool written = false;   // the writer's result, read once finished
    bool finished = false;  // guarded by the writer's mutex
};

// Writes, flushes and closes the package's files on a second thread while
// the walk resolves and opens the next ones, so that creating files and
// copying their bytes to the system overlap. Files are taken in the order
// they were opened; without a thread they are written on the spot.
class FileWriter {
public:
    FileWriter() = default;
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    ~FileWriter() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            closing = true;
        }
        wake.notify_one();
        if (thread.joinable()) thread.join();
    }

    void Put(PendingFile* file) {
        if (!thread.joinable() && !threadFailed) {
            try {
                thread = std::thread([this] { Run(); });
            } catch (const std::system_error&) {
                threadFailed = true;
            }
        }
        if (threadFailed) {
            Write(*file);
            file->finished = true;
            return;
        }
        bool batch;
        {
            std::lock_guard<std::mutex> lock(mutex);
            queue.push_back(file);
            batch = queue.size() >= kBatch;
        }
        // Waking the writer for every small file would cost more than the
        // file: it is woken for a few at a time, or when they are waited for.
        if (batch) wake.notify_one();
    }

    bool IsFinished(const PendingFile& file) {
        std::lock_guard<std::mutex> lock(mutex);
        return file.finished;
    }

    void WaitFor(const PendingFile& file) {
        wake.notify_one();
        std::unique_lock<std::mutex> lock(mutex);
        done.wait(lock, [&] { return file.finished; });
    }

private:
    static constexpr std::size_t kBatch = 8;

    // A short write, a failed flush or close (a full disk) is a failure, not "Done".
    static void Write(PendingFile& file) {
        bool written = plat::WriteStream(file.stream, file.content, file.size) == file.size;
        written = plat::FlushStream(file.stream) == 0 && written;
        written = plat::CloseStream(file.stream) == 0 && written;
        file.stream = nullptr;
        file.written = written;
    }

    void Run() {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return closing || !queue.empty(); });
            if (queue.empty()) return;
            PendingFile* file = queue.front();
            queue.pop_front();
            lock.unlock();
            Write(*file);
            lock.lock();
            file->finished = true;
            done.notify_all();
        }
    }

    std::mutex mutex;
    std::condition_variable wake;  // a file was queued, or the writer is closing
    std::condition_variable done;  // a file was finished
    std::deque<PendingFile*> queue;
    bool closing = false;
    bool threadFailed = false;
    std::thread thread;
};

// A group whose root folder is unknown, or one the installer may not write
// into, is skipped with one error line; the package's other groups are applied.
bool RootIsUsable(const CPatchwellApp& state, unsigned index, const std::string& base) {
    if (base.empty()) {
        LogPrintf("Error: the %s folder is unknown; its entries are skipped\n", RootFolderName(index));
        return false;
    }
    std::string reason = RefusalReason(state, base, OwnedUse::kWrite);
    if (reason.empty()) return true;
    LogPrintf("Error: the %s folder %s is refused (%s); its entries are skipped\n", RootFolderName(index),
              PrintableText(base).c_str(), reason.c_str());
    return false;
}

// Two paths that may name the same file: equal but for the case of ASCII
// letters, any byte above 0x7F taken for any other.
std::string SameFileKey(const std::string& path) {
    std::string key = path;
    for (char& c : key) {
        auto u = static_cast<unsigned char>(c);
        c = u >= 0x80 ? '\x80' : static_cast<char>(std::toupper(u));
    }
    return key;
}

// Writes each entry under its parent's path as the walk reaches it: folders
// first, then what they hold, depth first. Each entry's line is logged in
// walk order once its outcome is known.
class EntryApplier : public StreamVisitor {
public:
    // With a feed, the stream's bytes of the files still being written are
    // held until they are written.
    explicit EntryApplier(CPatchwellApp& state, ChunkFeed* feed = nullptr) : state(state), feed(feed) {}
    ~EntryApplier() override { Finish(); }

    bool Group(unsigned index, unsigned /*entries*/) override {
        Finish();  // the group's lines follow every earlier entry's
        const std::string* base = RootFolderOf(state, index);
        if (!base || !RootIsUsable(state, index, *base)) return false;
        paths.assign(1, *base);
        return true;
    }
    void Enter(const StreamEntry& entry) override {
        ++state.progressCount;
        SetBarPosition(state.progressBar, EntryProgressPosition(state.progressCount));
        paths.resize(entry.depth);
        std::string path = paths.back() + "\\" + entry.name;
        if (entry.folder) {
            CreateFolder(path);
        } else {
            WriteFile(path, entry.content, entry.size);
        }
        paths.push_back(std::move(path));
        LogFinished(false);
    }

    // Waits for every file still being written and logs the rest of the lines.
    void Finish() { LogFinished(true); }

private:
    struct Line {
        std::string text;                   // the whole line, or its start while the file is written
        std::unique_ptr<PendingFile> file;  // the file being written, if any
    };

    // At most this many files, and this many bytes, wait for the writer.
    static constexpr std::size_t kMostPending = 64;
    static constexpr std::size_t kMostPendingBytes = 16u << 20;

    void CreateFolder(const std::string& path) {
        std::string text = "Creating folder: " + PrintableText(path) + "...";
        std::string reason = RefusalReason(state, path, OwnedUse::kWrite);
        if (!reason.empty()) {
            Add(text + "Refused: " + reason + "\n");
            return;
        }
        WaitForSameFile(SameFileKey(path));
        if (plat::MakeFolder(path)) {
            Add(text + "Done\n");
        } else {
            Add(text + "Failed (" + std::to_string(static_cast<int>(plat::LastError())) + ")\n");
        }
    }

    void WriteFile(const std::string& path, const std::uint8_t* content, std::uint32_t size) {
        std::string text =
            "Creating file: " + PrintableText(path) + " (" + std::to_string(static_cast<int>(size / 1000)) + " KB)...";
        std::string reason = RefusalReason(state, path, OwnedUse::kWrite);
        if (!reason.empty()) {
            Add(text + "Refused: " + reason + "\n");
            return;
        }
        // A name the stream gives twice is written after its first writing ends.
        std::string key = SameFileKey(path);
        WaitForSameFile(key);
        // An existing read-only, hidden or system file must be replaceable; for a
        // new file the call simply fails.
        plat::SetAttributes(path, plat::kAttrNormal);
        plat::Stream* stream = plat::OpenStream(path, "wb");
        if (!stream) {
            Add(text + "Failed\n");
            return;
        }
        auto file = std::make_unique<PendingFile>();
        file->path = path;
        file->key = std::move(key);
        file->stream = stream;
        file->content = content;
        file->size = size;
        PendingFile* queued = file.get();
        pendingKeys.insert(file->key);
        pendingBytes += size;
        lines.push_back(Line{std::move(text), std::move(file)});
        writer.Put(queued);
    }

    void Add(std::string text) { lines.push_back(Line{std::move(text), nullptr}); }

    void WaitForSameFile(const std::string& key) {
        if (pendingKeys.count(key)) LogFinished(true);
    }

    // Logs the lines whose outcome is known, in order; with wait, every line.
    // Past kMostPending open files it waits for the oldest.
    void LogFinished(bool wait) {
        std::string text;
        while (!lines.empty()) {
            Line& line = lines.front();
            if (line.file) {
                PendingFile& file = *line.file;
                if (wait || lines.size() > kMostPending || pendingBytes > kMostPendingBytes) {
                    writer.WaitFor(file);
                } else if (!writer.IsFinished(file)) {
                    break;
                }
                plat::SetAttributes(file.path, plat::kAttrNormal);
                line.text += file.written ? "Done\n" : "Failed\n";
                pendingKeys.erase(file.key);
                pendingBytes -= file.size;
            }
            text += line.text;
            lines.pop_front();
        }
        if (!text.empty()) LogText(text);
        // Every line left is a file still being written, the oldest first.
        if (feed) feed->Hold(lines.empty() || !lines.front().file ? nullptr : lines.front().file->content);
    }

    CPatchwellApp& state;
    std::vector<std::string> paths;  // the root folder, then each open entry's path
    std::deque<Line> lines;          // logged in this order
    std::unordered_set<std::string> pendingKeys;  // the files being written, by SameFileKey
    std::size_t pendingBytes = 0;                 // their sizes added up
    ChunkFeed* feed;
    FileWriter writer;
};

// A package discovery checked is read once more to compare it with the check,
// then read and unpacked again while it is applied, a few megabytes ahead of
// the walk; the lines are those of a package unpacked whole. A file changed
// before the installation is not installed; one changed while it is applied
// stops the application at the first chunk that differs.
void InstallCheckedPackage(CPatchwellApp& state, Package& package) {
    FeedFile file;
    std::string fault;
    switch (file.Open(package.path, fault)) {
        case FeedOpen::kOpened:
            break;
        case FeedOpen::kNotOpened:
            LogPrintf("Error: File not opened\n");
            return;
        case FeedOpen::kNoSize:
            LogPrintf("Error: File has no size\n");
            return;
        case FeedOpen::kTooLarge:
        case FeedOpen::kBadTable:
            LogPrintf("Error: File changed since it was checked\n");
            return;
    }
    const ChunkTable& table = file.Table();
    if (file.Length() != static_cast<std::size_t>(package.checkedLength) ||
        table.chunks.size() != package.checkedChunkCrcs.size()) {
        LogPrintf("Error: File changed since it was checked\n");
        return;
    }
    const std::size_t capacity = ChunkFeed::InputCapacity(table);
    plat::LargeBuffer input = plat::AllocateLarge(capacity);
    if (!input) {
        LogPrintf("ERROR: Could not allocate data\n");
        return;
    }
    plat::LargeBuffer stream = plat::AllocateLarge(table.total);
    ChunkFeed feed(file, input.get(), capacity, stream.get(), [](unsigned, unsigned, int) {});
    feed.Expect(package.checkedChunkCrcs);
    // The whole file is compared with the check's before anything is written.
    if (!feed.Verify()) {
        LogPrintf("Error: File changed since it was checked\n");
        return;
    }
    ShowStatusText(state.statusText, "Applying update: " + package.name);
    LogChunkTable(table);
    if (!stream) {
        LogPrintf("ERROR: Could not allocate data\n");
        return;
    }
    LogPrintf("Memory allocated\n");
    const unsigned count = static_cast<unsigned>(table.chunks.size());
    for (unsigned i = 0; i < count; ++i) LogChunk(state, i, count, Z_OK);
    LogPrintf("Chunks uncompressed successfully\n");
    state.progressCount = 0;

    EntryApplier applier(state, &feed);
    // The names are checked again: these are the bytes read now.
    fault = WalkPackageStream(stream.get(), feed, applier, NameRule::kCheck);
    applier.Finish();
    if (feed.Changed()) {
        LogPrintf("Error: File changed since it was checked\n");
        return;
    }
    if (!fault.empty()) {
        LogText("ERROR: Bad package: " + fault + "\n");
        return;
    }
    LogPrintf("Success\n");
}

}  // namespace

int EntryProgressPosition(unsigned count) {
    return static_cast<int>(static_cast<float>(static_cast<double>(count) / 200.0 * 50.0 + 50.0));
}

void InstallPackage(CPatchwellApp& state, Package* package) {
    if (!package) return;
    LogPrintf("Installing: %s...", PrintableText(package->name).c_str());
    if (package->checked) {
        InstallCheckedPackage(state, *package);
        return;
    }
    if (!ReadPackageFile(*package)) return;
    ShowStatusText(state.statusText, "Applying update: " + package->name);
    PackageStream stream;
    UnpackResult unpacked = UnpackChunks(state, *package, stream);
    if (unpacked == UnpackResult::kNoMemory) {
        LogPrintf("ERROR: Could not allocate data\n");
        return;
    }
    if (unpacked != UnpackResult::kUnpacked) return;
    state.progressCount = 0;
    // Nothing is written unless the whole stream can be applied safely.
    std::string fault = CheckPackageStream(stream);
    if (!fault.empty()) {
        LogText("ERROR: Bad package: " + fault + "\n");
        return;
    }
    EntryApplier applier(state);
    WalkPackageStream(stream.bytes.get(), stream.length, applier, NameRule::kTrust);
    applier.Finish();
    LogPrintf("Success\n");
}
