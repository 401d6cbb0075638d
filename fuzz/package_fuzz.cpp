// Fuzzes reading, checking and applying one package on a throwaway machine,
// and checks after every input that nothing was written outside the six root
// folders, and that reading the file a little at a time unpacks what reading
// it whole does.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/installer_state.h"
#include "package_fuzz_input.h"
#include "packages/package_feed.h"
#include "packages/package_format.h"
#include "packages/package_install.h"
#include "packages/package_reader.h"
#include "packages/package_stream.h"
#include "packages/writer/package_writer.h"
#include "support/scratch_machine.h"

namespace {

namespace fs = std::filesystem;

// The harness's own limit: a package may claim up to 4 GB of stream, which
// the installer would allocate; the fuzzer's memory limit would take that for
// a leak. Inputs claiming more than this are skipped.
constexpr std::uint64_t kMaxClaimedStream = 64u << 20;

const char* const kRootNames[pkgformat::kRootFolderCount] = {"Game", "Docs/AerovinRC", "Start", "Roaming",
                                                             "Builder", "Docs/AerovinBuilder"};

class FuzzMachine {
public:
    FuzzMachine() {
        for (unsigned i = 0; i < pkgformat::kRootFolderCount; ++i) theApp.*kRootFolders[i].field = Root(i);
        drive = fs::canonical(machine.HostPath("C:\\"));
        ResetRoots();
        WritePackage("");
        before = TopLevel();
    }

    std::string Root(unsigned index) const { return machine.Root() + "\\roots\\" + kRootNames[index]; }
    std::string PackagePath() const { return machine.Root() + "\\in.pkg"; }
    void WritePackage(const std::string& bytes) const { machine.WriteFile(PackagePath(), bytes); }

    // Everything outside the roots must be as it was.
    void CheckNothingEscaped() const {
        if (TopLevel() != before) {
            std::fprintf(stderr, "a package wrote outside its root folders\n");
            std::abort();
        }
    }
    void ResetRoots() const {
        fs::path roots = machine.HostPath(machine.Root() + "\\roots");
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(roots, error); it != fs::recursive_directory_iterator();
             it.increment(error)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
        }
        fs::remove_all(roots, error);
        for (unsigned i = 0; i < pkgformat::kRootFolderCount; ++i) machine.MakeFolder(Root(i));
    }

private:
    // The drive's and the scratch folder's entries, and every folder between
    // the scratch folder and the roots.
    std::set<std::string> TopLevel() const {
        std::set<std::string> names;
        for (const fs::path& folder : {drive, drive / "scratch", drive / "scratch" / "roots",
                                       drive / "scratch" / "roots" / "Docs"}) {
            for (const auto& item : fs::directory_iterator(folder)) names.insert(item.path().string());
        }
        return names;
    }

    ScratchMachine machine;
    fs::path drive;
    std::set<std::string> before;
};

std::uint64_t ClaimedStreamSize(const std::string& file) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(file.data());
    ChunkTable table;
    if (!ReadChunkTable(data, file.size(), table).empty()) return 0;
    return table.total;
}

// The feed, reading the file some bytes at a time, must give the stream, the
// chunks' results and their CRC-32s of the whole file unpacked in memory, and
// find the file to be the one it read.
void CheckFeed(const std::string& path, const std::string& file, std::size_t most) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(file.data());
    ChunkTable table;
    if (!ReadChunkTable(data, file.size(), table).empty()) return;
    std::vector<std::uint8_t> whole(table.total);
    std::vector<int> wholeResults;
    std::vector<std::uint32_t> wholeCrcs(table.chunks.size());
    InflateOptions options;
    options.crcs = wholeCrcs.data();
    std::size_t length = InflateChunks(
        data, table, whole.data(), [&](unsigned, unsigned, int result) { wholeResults.push_back(result); }, options);

    FeedFile feedFile;
    std::string fault;
    if (feedFile.Open(path, fault) != FeedOpen::kOpened) {
        std::fprintf(stderr, "the file's chunk table reads otherwise than in memory: %s\n", fault.c_str());
        std::abort();
    }
    const std::size_t capacity = ChunkFeed::InputCapacity(feedFile.Table(), most);
    plat::LargeBuffer input = plat::AllocateLarge(capacity);
    plat::LargeBuffer stream = plat::AllocateLarge(table.total);
    std::vector<int> results;
    ChunkFeed feed(feedFile, input.get(), capacity, stream.get(),
                   [&](unsigned, unsigned, int result) { results.push_back(result); });
    std::size_t fed = feed.FillTo(~std::uint64_t{0});
    feed.Expect(wholeCrcs);
    if (feed.Changed() || fed != length || results != wholeResults || feed.Crcs() != wholeCrcs ||
        (length > 0 && std::memcmp(stream.get(), whole.data(), length) != 0) || !feed.Verify()) {
        std::fprintf(stderr, "reading %zu bytes at a time unpacks otherwise than reading the file whole\n", most);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The installer's log goes to standard output; the fuzzer reports on stderr.
    if (!std::freopen("/dev/null", "w", stdout)) return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FuzzMachine* machine = new FuzzMachine;  // lives for the whole run
    if (size < 2) return 0;
    std::string rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    std::string file;
    if (data[0] & kFuzzStream) {
        pkgwriter::Options options;
        options.level = 1;
        if (!rest.empty()) options.splitAt = {data[1] % rest.size()};
        file = pkgwriter::BuildPackageFile(rest, options);
    } else {
        file = std::string(reinterpret_cast<const char*>(data) + 1, size - 1);
    }
    if (ClaimedStreamSize(file) > kMaxClaimedStream) return 0;
    machine->WritePackage(file);
    Package package;
    package.path = machine->PackagePath();
    package.name = package.path;
    InstallPackage(theApp, &package);
    machine->CheckNothingEscaped();
    CheckFeed(package.path, file, std::size_t{1} << (data[1] % 24));
    machine->ResetRoots();
    return 0;
}
