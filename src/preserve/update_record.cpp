#include "preserve/update_record.h"

#include <sstream>

#include "core/file_ops.h"
#include "core/installer_state.h"
#include "platform/platform.h"
#include "preserve/durable_file.h"

namespace {

const char kRecordFile[] = "/AerovinPatchwell.update";
const char kFirstLine[] = "Patchwell update in progress";
const char kLastLine[] = "end";
const char kHoldingBase[] = "AerovinTemp";

const char* PhaseName(UpdatePhase phase) {
    switch (phase) {
        case UpdatePhase::kCaptured:
            return "captured";
        case UpdatePhase::kPrepared:
            return "prepared";
        case UpdatePhase::kRestored:
            return "restored";
    }
    return "";
}

bool PhaseNamed(const std::string& name, UpdatePhase* phase) {
    for (UpdatePhase candidate : {UpdatePhase::kCaptured, UpdatePhase::kPrepared, UpdatePhase::kRestored}) {
        if (name == PhaseName(candidate)) {
            *phase = candidate;
            return true;
        }
    }
    return false;
}

// The value of a "key=value" line, or false when the line is another.
bool ValueOf(const std::string& line, const char* key, std::string* value) {
    std::string prefix = std::string(key) + "=";
    if (line.compare(0, prefix.size(), prefix) != 0) return false;
    *value = line.substr(prefix.size());
    return true;
}

}  // namespace

bool IsHoldingFolderName(const std::string& name) {
    std::string base = kHoldingBase;
    if (name.compare(0, base.size(), base) != 0) return false;
    std::string number = name.substr(base.size());
    if (number.empty()) return true;
    if (number.size() > 3 || number[0] == '0') return false;
    for (char c : number)
        if (c < '0' || c > '9') return false;
    return number != "1";
}

std::string FormatUpdateRecord(const UpdateRecord& record) {
    return std::string(kFirstLine) + "\nversion=" + record.version + "\nholding=" + record.holdingName +
           "\nphase=" + PhaseName(record.phase) + "\n" + kLastLine + "\n";
}

bool ParseUpdateRecord(const std::string& text, UpdateRecord* record) {
    std::istringstream lines(text);
    std::string line, phase;
    UpdateRecord read;
    if (!std::getline(lines, line) || line != kFirstLine) return false;
    if (!std::getline(lines, line) || !ValueOf(line, "version", &read.version) || read.version.empty()) return false;
    if (!std::getline(lines, line) || !ValueOf(line, "holding", &read.holdingName) ||
        !IsHoldingFolderName(read.holdingName))
        return false;
    if (!std::getline(lines, line) || !ValueOf(line, "phase", &phase) || !PhaseNamed(phase, &read.phase))
        return false;
    // The last line is written last: without it the record was cut short.
    if (!std::getline(lines, line) || line != kLastLine || lines.eof()) return false;
    *record = read;
    return true;
}

std::string UpdateRecordPath(const CPatchwellApp& state) { return PathIn(state.documentsFolder, kRecordFile); }

bool ReadUpdateRecord(const CPatchwellApp& state, UpdateRecord* record) {
    std::string bytes;
    if (!ReadRawFile(UpdateRecordPath(state), &bytes)) return false;
    return ParseUpdateRecord(bytes, record);
}

bool WriteUpdateRecord(const CPatchwellApp& state, const UpdateRecord& record) {
    return WriteFileDurably(UpdateRecordPath(state), FormatUpdateRecord(record));
}

void RemoveUpdateRecord(const CPatchwellApp& state) {
    std::string path = UpdateRecordPath(state);
    if (!path.empty()) DeleteOneFile(path);
}
