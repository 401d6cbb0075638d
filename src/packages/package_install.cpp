#include "packages/package_install.h"

#include "core/installer_state.h"
#include "core/log.h"
#include "core/owned_folders.h"
#include "core/progress.h"
#include "packages/package_check.h"
#include "packages/package_format.h"
#include "packages/package_reader.h"
#include "platform/platform.h"

namespace {

// Reads at the cursor and moves it; a read past the end gives 0.
std::uint32_t ReadNumber(const PackageStream& stream, std::size_t& cursor, std::size_t width) {
    std::uint32_t value = 0;
    if (cursor <= stream.length && stream.length - cursor >= width) {
        for (std::size_t i = 0; i < width; ++i)
            value |= static_cast<std::uint32_t>(stream.bytes[cursor + i]) << (8 * i);
    }
    cursor += width;
    return value;
}

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

// Moves the cursor over an entry and its subtree without applying them.
void SkipEntry(const PackageStream& stream, std::size_t& cursor) {
    std::uint32_t kind = ReadNumber(stream, cursor, 1);
    ReadText(stream, cursor);
    if (kind == pkgformat::kKindFile) {
        ReadText(stream, cursor);
        cursor += ReadNumber(stream, cursor, 4);
    }
    unsigned children = ReadNumber(stream, cursor, 2);
    for (unsigned k = 0; k < children; ++k) SkipEntry(stream, cursor);
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

void ApplyRootGroups(CPatchwellApp& state, const PackageStream& stream) {
    std::size_t cursor = 0;
    unsigned groups = ReadNumber(stream, cursor, 2);
    for (unsigned g = 0; g < groups; ++g) {
        unsigned index = ReadNumber(stream, cursor, 2);
        unsigned entries = ReadNumber(stream, cursor, 2);
        const std::string* base = RootFolderOf(state, index);
        if (!base) return;  // refused by the check already
        if (RootIsUsable(state, index, *base)) {
            for (unsigned e = 0; e < entries; ++e) ApplyEntry(state, stream, cursor, *base);
        } else {
            for (unsigned e = 0; e < entries; ++e) SkipEntry(stream, cursor);
        }
    }
}

}  // namespace

int EntryProgressPosition(unsigned count) {
    return static_cast<int>(static_cast<float>(static_cast<double>(count) / 200.0 * 50.0 + 50.0));
}

void ApplyEntry(CPatchwellApp& state, const PackageStream& stream, std::size_t& cursor,
                const std::string& parentPath) {
    ++state.progressCount;
    SetBarPosition(state.progressBar, EntryProgressPosition(state.progressCount));
    std::uint32_t kind = ReadNumber(stream, cursor, 1);
    std::string path = parentPath + "\\" + ReadText(stream, cursor);
    if (kind != pkgformat::kKindFile) {
        CreatePackageFolder(state, path);
    } else {
        ReadText(stream, cursor);  // the second text means nothing to the installer
        std::uint32_t size = ReadNumber(stream, cursor, 4);
        if (cursor > stream.length || stream.length - cursor < size) return;  // refused by the check already
        WritePackageFile(state, path, stream.bytes.get() + cursor, size);
        cursor += size;
    }
    unsigned children = ReadNumber(stream, cursor, 2);
    for (unsigned k = 0; k < children; ++k) ApplyEntry(state, stream, cursor, path);
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
    std::string fault = CheckPackageStream(state, stream);
    if (!fault.empty()) {
        LogText("ERROR: Bad package: " + fault + "\n");
        return;
    }
    ApplyRootGroups(state, stream);
    LogPrintf("Success\n");
}
