// Fuzzes reading, checking and applying one package on a throwaway machine,
// and checks after every input that nothing was written outside the six root
// folders.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "core/installer_state.h"
#include "package_fuzz_input.h"
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
    machine->ResetRoots();
    return 0;
}
