#include "preserve/calibration.h"

#include <cstdint>
#include <string>

#include "core/file_ops.h"
#include "core/installer_state.h"
#include "core/log.h"
#include "platform/platform.h"
#include "preserve/durable_file.h"

namespace {

const char kCalibrationFile[] = "/Settings/controller_0.vxt";

constexpr int kChannels = 8;
constexpr int kKept = 3;     // integers kept of each channel record
constexpr int kDropped = 8;  // integers that follow them in the old layout
constexpr long kNewLayoutBytes = kChannels * kKept * 4;

// The files hold little-endian 32-bit integers, whatever the host.
std::int32_t DecodeInt(const unsigned char* bytes) {
    std::uint32_t value = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                          static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return static_cast<std::int32_t>(value);
}

void EncodeInt(std::int32_t value, unsigned char* bytes) {
    std::uint32_t bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
}

}  // namespace

void SaveCalibration(CPatchwellApp& state) {
    SaveCalibrationFrom(state, PathIn(state.userDataFolder, kCalibrationFile), nullptr);
}

bool SaveCalibrationFrom(CPatchwellApp& state, const std::string& path, std::string* asRead) {
    for (auto& channel : state.calibration)
        for (std::int32_t& value : channel) value = 0;
    state.calibrationCaptured = false;
    LogPrintf("Saving previous calibration...");
    std::string bytes;
    if (!ReadRawFile(path, &bytes)) {
        LogPrintf("Error - could not open file: %s\n", path.empty() ? kCalibrationFile : path.c_str());
        return false;
    }
    // A file already in the new layout (left by an earlier run of the update)
    // holds only the kept integers; read as the old layout it would be scrambled.
    bool newLayout = static_cast<long>(bytes.size()) == kNewLayoutBytes;
    // What a short file does not supply stays 0.
    std::string::size_type at = 0;
    for (auto& channel : state.calibration) {
        unsigned char kept[kKept * 4] = {};
        for (int i = 0; i < kKept * 4 && at < bytes.size(); ++i) kept[i] = static_cast<unsigned char>(bytes[at++]);
        for (int i = 0; i < kKept; ++i) channel[i] = DecodeInt(kept + 4 * i);
        if (!newLayout) at += kDropped * 4;
    }
    state.calibrationCaptured = true;
    if (asRead) *asRead = std::move(bytes);
    return true;
}

void RestoreCalibration(CPatchwellApp& state) {
    if (!state.calibrationCaptured) return;
    LogPrintf("Restoring calibration...");
    std::string path = PathIn(state.userDataFolder, kCalibrationFile);
    plat::StreamHolder file(path.empty() ? nullptr : OpenForWriting(path, "wb"));
    if (!file) {
        LogPrintf("Error - could not open file: %s\n", path.empty() ? kCalibrationFile : path.c_str());
    } else {
        bool written = true;
        for (int channel = 0; channel < kChannels; ++channel) {
            const std::int32_t* values = state.calibration[channel];
            // The line's first number is the channel's own number.
            LogPrintf("%d: %d,%d,%d\n", channel, static_cast<int>(values[0]), static_cast<int>(values[1]),
                      static_cast<int>(values[2]));
            unsigned char bytes[kKept * 4];
            for (int i = 0; i < kKept; ++i) EncodeInt(values[i], bytes + 4 * i);
            written &= plat::WriteStream(file.Get(), bytes, sizeof bytes) == sizeof bytes;
        }
        written &= file.Close() == 0;
        if (!written) LogPrintf("Error - could not write file: %s\n", path.c_str());
    }
    LogPrintf("Done\n");
}
