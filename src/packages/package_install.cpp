#include "packages/package_install.h"

#include <vector>

#include "core/installer_state.h"
#include "core/log.h"
#include "core/owned_folders.h"
#include "core/progress.h"
#include "packages/package_reader.h"
#include "packages/package_stream.h"
#include "platform/platform.h"

namespace {

// Ends the line the entry opened with the guard's refusal, if it refuses.
bool Refused(const CPatchwellApp& state, const std::string& path) {
    std::string reason = RefusalReason(state, path, OwnedUse::kWrite);
    if (reason.empty()) return false;
    LogText("Refused: " + reason + "\n");
    return true;
}

void CreatePackageFolder(const CPatchwellApp& state, const std::string& path) {
    LogPrintf("Creating folder: %s...", PrintableText(path).c_str());
    if (Refused(state, path)) return;
    if (plat::MakeFolder(path)) {
        LogPrintf("Done\n");
    } else {
        plat::DWORD error = plat::LastError();
        LogPrintf("Failed (%d)\n", static_cast<int>(error));
    }
}

void WritePackageFile(const CPatchwellApp& state, const std::string& path, const std::uint8_t* content,
                      std::uint32_t size) {
    LogPrintf("Creating file: %s (%d KB)...", PrintableText(path).c_str(), static_cast<int>(size / 1000));
    if (Refused(state, path)) return;
    // An existing read-only, hidden or system file must be replaceable; for a
    // new file the call simply fails.
    plat::SetAttributes(path, plat::kAttrNormal);
    plat::StreamHolder file(plat::OpenStream(path, "wb"));
    if (!file) {
        LogPrintf("Failed\n");
        return;
    }
    // A short write, a failed flush or close (a full disk) is a failure, not "Done".
    bool written = plat::WriteStream(file.Get(), content, size) == size;
    written = plat::FlushStream(file.Get()) == 0 && written;
    written = file.Close() == 0 && written;
    plat::SetAttributes(path, plat::kAttrNormal);
    LogPrintf(written ? "Done\n" : "Failed\n");
}

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

// Writes each entry under its parent's path as the walk reaches it: folders
// first, then what they hold, depth first.
class EntryApplier : public StreamVisitor {
public:
    explicit EntryApplier(CPatchwellApp& state) : state(state) {}

    bool Group(unsigned index, unsigned /*entries*/) override {
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
            CreatePackageFolder(state, path);
        } else {
            WritePackageFile(state, path, entry.content, entry.size);
        }
        paths.push_back(std::move(path));
    }

private:
    CPatchwellApp& state;
    std::vector<std::string> paths;  // the root folder, then each open entry's path
};

}  // namespace

int EntryProgressPosition(unsigned count) {
    return static_cast<int>(static_cast<float>(static_cast<double>(count) / 200.0 * 50.0 + 50.0));
}

void InstallPackage(CPatchwellApp& state, Package* package) {
    if (!package) return;
    LogPrintf("Installing: %s...", PrintableText(package->name).c_str());
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
    LogPrintf("Success\n");
}
