#include "packages/package_discovery.h"

#include <zlib.h>

#include <memory>

#include "core/file_ops.h"
#include "core/installer_state.h"
#include "core/log.h"
#include "core/progress.h"
#include "core/step_machine.h"
#include "packages/package_feed.h"
#include "packages/package_format.h"
#include "packages/package_reader.h"
#include "packages/package_stream.h"
#include "platform/platform.h"
#include "ui/wizard_pages.h"

namespace {

// Tests that the file opens and is not empty, before it is read whole.
bool IsUsablePackage(const std::string& path) {
    plat::StreamHolder file(plat::OpenStream(path, "rb"));
    if (!file) {
        LogPrintf("Error: File not opened\n");
        return false;
    }
    if (plat::StreamLength(file.Get()) == 0) {
        file.Close();
        LogPrintf("Error: File has no size\n");
        return false;
    }
    return true;
}

enum class CheckOutcome {
    kSound,
    kLeftOut,  // cannot be opened or is empty: logged and left out, as ever
    kFaulty,
};

std::string ChunkFault(const ChunkRecord& record, unsigned index, unsigned count, int result) {
    const char* what = result == Z_DATA_ERROR  ? "is damaged or incomplete"
                       : result == Z_BUF_ERROR ? "holds more than its stated size"
                       : result == Z_MEM_ERROR ? "could not be decompressed for lack of memory"
                                               : "does not decompress";
    return "chunk " + std::to_string(index) + " / " + std::to_string(count) + " " + what + " (zlib error " +
           std::to_string(result) + ") at offset " +
           std::to_string(record.dataOffset - pkgformat::kChunkRecordBytes);
}

// Reads, unpacks and checks the whole package as the installation will,
// writing nothing, and moves the bar through package index of count. The
// file is read and unpacked a few megabytes at a time, and what the check
// keeps is each chunk's CRC-32, by which the installation knows the file
// it reads again for the one checked.
CheckOutcome CheckWholePackage(CPatchwellApp& state, Package& package, unsigned index, unsigned count,
                               std::string& fault) {
    FeedFile file;
    switch (file.Open(package.path, fault)) {
        case FeedOpen::kOpened:
            break;
        case FeedOpen::kNotOpened:
            LogPrintf("Error: File not opened\n");
            return CheckOutcome::kLeftOut;
        case FeedOpen::kNoSize:
            LogPrintf("Error: File has no size\n");
            return CheckOutcome::kLeftOut;
        case FeedOpen::kTooLarge:
            fault = "the file is larger than 2 GB";
            return CheckOutcome::kFaulty;
        case FeedOpen::kBadTable:
            fault = "the package file is damaged: " + fault;
            return CheckOutcome::kFaulty;
    }
    const ChunkTable& table = file.Table();
    const std::size_t capacity = ChunkFeed::InputCapacity(table);
    plat::LargeBuffer input = plat::AllocateLarge(capacity);
    if (!input) {
        fault = "there is not enough memory to read the file";
        return CheckOutcome::kFaulty;
    }
    plat::LargeBuffer stream = plat::AllocateLarge(table.total);
    if (!stream) {
        fault = "there is not enough memory to unpack it (" + std::to_string(table.total) + " bytes)";
        return CheckOutcome::kFaulty;
    }
    int lastPosition = -1;
    std::string chunkFault;
    ChunkFeed feed(file, input.get(), capacity, stream.get(), [&](unsigned i, unsigned n, int result) {
        if (result != Z_OK && chunkFault.empty()) chunkFault = ChunkFault(table.chunks[i], i, n, result);
        int position = static_cast<int>(static_cast<float>((index + (i + 1.0) / n) / count * 100.0));
        if (position != lastPosition) SetBarPosition(state.progressBar, position);
        lastPosition = position;
    });
    StreamVisitor nothing;
    std::string streamFault = WalkPackageStream(stream.get(), feed, nothing);
    // Every chunk is unpacked even past a fault in the stream: a damaged
    // chunk is the fault to report, and the installation needs every CRC.
    feed.FillAll();
    if (feed.Changed()) {
        fault = "the file changed while it was read";
        return CheckOutcome::kFaulty;
    }
    if (!chunkFault.empty()) {
        fault = chunkFault;
        return CheckOutcome::kFaulty;
    }
    if (!streamFault.empty()) {
        fault = "its content is unsound: " + streamFault;
        return CheckOutcome::kFaulty;
    }
    package.checked = true;
    package.checkedLength = static_cast<std::int32_t>(file.Length());
    package.checkedChunkCrcs = feed.Crcs();
    return CheckOutcome::kSound;
}

std::string FailureReason(const std::string& name, const std::string& fault, std::size_t faulty) {
    // Appended piece by piece: GCC 12 takes the joined temporaries for an
    // overlapping copy and warns (-Wrestrict) on the 32-bit build.
    std::string reason = "The update package ";
    reason.append(name).append(" cannot be installed: ").append(fault).append(".");
    if (faulty > 1)
        reason.append(" ")
            .append(std::to_string(faulty - 1))
            .append(" more package(s) failed their check too (see the log).");
    return reason + " Nothing was changed.";
}

}  // namespace

std::string TrimPath(const std::string& path, bool dropFolder, bool dropExtension) {
    if (path.empty()) return std::string();
    std::size_t end = path.size() - 1;  // inclusive
    if (dropExtension) {
        std::size_t dot = path.rfind('.');
        if (dot != std::string::npos) {
            if (dot == 0) return std::string();
            end = dot - 1;
        }
    }
    std::size_t start = 0;
    if (dropFolder) {
        std::size_t separator = path.find_last_of("/\\");
        if (separator != std::string::npos) start = separator + 1;
    }
    if (start > end) return std::string();
    return path.substr(start, end - start + 1);
}

int OrderDigit(const std::string& path) {
    std::string stem = TrimPath(path, /*dropFolder*/ false, /*dropExtension*/ true);
    if (stem.empty()) return 0;
    char last = stem.back();
    return (last >= '1' && last <= '9') ? last - '0' : 0;
}

bool HasPackageExtension(const std::string& path) {
    static const char kExtension[] = ".pkg";
    if (path.size() < 4) return false;
    for (std::size_t i = 0; i < 4; ++i) {
        char c = path[path.size() - 4 + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kExtension[i]) return false;
    }
    return true;
}

std::list<std::string> OrderPackages(std::list<std::string> found) {
    std::list<std::string> ordered;
    for (int digit = 1; digit <= 9; ++digit) {
        for (auto it = found.begin(); it != found.end();) {
            if (OrderDigit(*it) == digit) {
                ordered.push_back(*it);
                it = found.erase(it);
            } else {
                ++it;
            }
        }
    }
    ordered.splice(ordered.end(), found);
    return ordered;
}

void RegisterPackages(CPatchwellApp& state) {
    std::list<std::string> found;
    FindFiles(state.installerFolder, "*.pkg", found, /*recurse*/ false, /*includeHidden*/ false,
              /*includeSystem*/ false, /*fullPaths*/ true);
    found.remove_if([](const std::string& path) { return !HasPackageExtension(path); });
    LogPrintf("Packages found:\n");
    for (const std::string& path : found) LogPrintf("  %s\n", PrintableText(path).c_str());

    std::list<std::string> ordered = OrderPackages(std::move(found));
    LogPrintf("Reading packages:\n");
    // Every package is read, unpacked and checked whole before anything is
    // changed: a damaged one stops the update with the installation as it was.
    std::size_t faulty = 0;
    std::string firstFaulty, firstFault;
    unsigned index = 0;
    for (const std::string& path : ordered) {
        LogPrintf("  %s...", PrintableText(path).c_str());
        auto package = std::make_unique<Package>();
        package->path = path;
        package->name = path;
        if (!IsUsablePackage(path)) {
            ++index;
            continue;
        }
        ShowStatusText(state.statusText, "Checking update: " + package->name);
        std::string fault;
        CheckOutcome outcome =
            CheckWholePackage(state, *package, index++, static_cast<unsigned>(ordered.size()), fault);
        if (outcome == CheckOutcome::kLeftOut) continue;
        if (outcome == CheckOutcome::kFaulty) {
            LogPrintf("Failed\n");
            LogText("ERROR: Bad package: " + PrintableText(path) + ": " + fault + "\n");
            if (faulty++ == 0) {
                firstFaulty = path;
                firstFault = fault;
            }
            continue;
        }
        state.packages.push_back(std::move(package));
        LogPrintf("Done\n");
    }
    if (faulty > 0) {
        state.packages.clear();
        LogPrintf("ERROR: %d update(s) failed their check - nothing was changed\n", static_cast<int>(faulty));
        state.failureReason = FailureReason(firstFaulty, firstFault, faulty);
        SwitchStep(stepFailed, state);
        return;
    }

    if (!state.packages.empty()) {
        LogPrintf("%d updates\n", static_cast<int>(state.packages.size()));
        state.installRequested = true;
    } else {
        LogPrintf("No downloads found\n");
        state.failureReason = "Did not find any updates to download - V5 may already be installed.";
        SwitchStep(stepFailed, state);
    }
}

void DiscoverPackages(afx::HWND window, afx::UINT, afx::UINT_PTR timerId, afx::DWORD) {
    if (installingPage)
        installingPage->KillTimer(timerId);
    else
        afx::KillTimer(window, timerId);
    RegisterPackages(theApp);
}
