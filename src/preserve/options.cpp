#include "preserve/options.h"

#include <string>

#include "core/file_ops.h"
#include "core/installer_state.h"
#include "core/log.h"
#include "platform/platform.h"
#include "preserve/durable_file.h"

namespace {

const char kOptionsFile[] = "/Settings/options.sim";

constexpr std::string::size_type npos = std::string::npos;

struct Block {
    const char* startKey;
    const char* endKey;
    std::string CPatchwellApp::*field;
};

// The order of capture. The end key of block 4 also matches the start of the
// models key itself; that is how the file is laid out.
const Block kBlocks[] = {
    {"options.default_simulationSpeed", "options.initialSetup", &CPatchwellApp::simulationSpeedBlock},
    {"options.default_units_scheme", "options.playWindSound", &CPatchwellApp::unitsSchemeBlock},
    {"options.default_flyingSite", "options.default_layoutMode", &CPatchwellApp::flyingSiteBlock},
    {"options.default_flightRecorder_position", "options.models", &CPatchwellApp::flightRecorderBlock},
    {"options.default_training_landing_startHeight", "options.recentFlyingSites",
     &CPatchwellApp::trainingStartHeightBlock},
};

const char kLanguageKey[] = "options.language = \"";
const char kHelperDialogsKey[] = "options.default_showHelperDialogs = {";
const char kModelsKey[] = "options.models = {";

// The text from begin up to end, or nothing when that is empty or would run
// past the end of its own line: a value that is missing its closing mark must
// not take the following lines with it.
std::string ValueBetween(const std::string& text, std::string::size_type begin, std::string::size_type end) {
    if (begin == npos || end == npos || begin >= end) return std::string();
    std::string value = text.substr(begin, end - begin);
    if (value.find('\n') != npos) return std::string();
    return value;
}

void CaptureBlocks(CPatchwellApp& state, const std::string& text) {
    for (const Block& block : kBlocks) {
        std::string::size_type start = text.find(block.startKey);
        std::string::size_type end = text.find(block.endKey);
        if (start != npos && end != npos && start < end) state.*block.field = text.substr(start, end - start);
    }
}

void CaptureLanguage(CPatchwellApp& state, const std::string& text) {
    std::string::size_type key = text.find(kLanguageKey);
    if (key == npos) return;
    std::string::size_type value = key + sizeof kLanguageKey - 1;
    state.languageText = ValueBetween(text, value, text.find('"', value));
}

void CaptureHelperDialogs(CPatchwellApp& state, const std::string& text) {
    std::string::size_type key = text.find(kHelperDialogsKey);
    if (key == npos) return;
    // The character right after the brace (a space, as the file is written) is passed over.
    std::string::size_type value = key + sizeof kHelperDialogsKey;
    if (value > text.size()) return;
    state.helperDialogsText = ValueBetween(text, value, text.find('}', value));
}

// The first and fourth quoted texts of the models list's first entry: the
// texts between quotes 1 and 2, and between quotes 7 and 8.
void CaptureModelTexts(CPatchwellApp& state, const std::string& text) {
    std::string::size_type key = text.find(kModelsKey);
    if (key == npos) return;
    std::string::size_type quotes[8];
    std::string::size_type from = key + sizeof kModelsKey;
    for (auto& quote : quotes) {
        quote = from > text.size() ? npos : text.find('"', from);
        from = quote == npos ? npos : quote + 1;
    }
    auto after = [](std::string::size_type quote) { return quote == npos ? npos : quote + 1; };
    state.modelFirstText = ValueBetween(text, after(quotes[0]), quotes[1]);
    state.modelFourthText = ValueBetween(text, after(quotes[6]), quotes[7]);
}

// The lines RestoreOptions writes, as they stand in a file it wrote: the
// model, language, helper-dialogs and set-up lines, then the blocks.
const char kOwnModelStart[] = "options.model = { 1, \"";
const char kOwnModelMiddle[] = "\", \"Default\", \"Default\", \"";
const char kOwnModelEnd[] = "\", \"default\", 0, 0, 0,0,0, 0,0,0, 0,0,0,0 }";
const char kOwnLanguageStart[] = "options.language = \"";
const char kOwnHelperStart[] = "options.default_showHelperDialogs = { ";
const char kOwnHelperEnd[] = " }";
const char kOwnSetupLine[] = "options.initialSetup = 0";

bool StartsWith(const std::string& text, std::string::size_type at, const char* prefix) {
    return text.compare(at, std::char_traits<char>::length(prefix), prefix) == 0;
}

bool EndsWith(const std::string& text, const char* suffix) {
    std::string::size_type n = std::char_traits<char>::length(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

// The line that begins at `at`, without its line feed; `next` is where the
// following line begins (npos after the last).
std::string LineAt(const std::string& text, std::string::size_type at, std::string::size_type* next) {
    std::string::size_type end = text.find('\n', at);
    *next = end == npos ? npos : end + 1;
    return text.substr(at, end == npos ? npos : end - at);
}

// The start of the last line that begins with key, or npos.
std::string::size_type LastLineStartingWith(const std::string& text, const char* key) {
    for (std::string::size_type at = text.rfind(key); at != npos; at = at == 0 ? npos : text.rfind(key, at - 1))
        if (at == 0 || text[at - 1] == '\n') return at;
    return npos;
}

// The start of the first line at or after `from` that begins with key, or npos.
std::string::size_type NextLineStartingWith(const std::string& text, std::string::size_type from, const char* key) {
    for (std::string::size_type at = text.find(key, from); at != npos; at = text.find(key, at + 1))
        if (at == 0 || text[at - 1] == '\n') return at;
    return npos;
}

// A file this program wrote holds the packages' lines and then the restored
// lines. Read as the old layout it would lose the model texts and the blocks,
// so its own lines are read back as they were written. False when the file
// does not end in lines of that form; nothing is captured then.
bool CaptureOwnLayout(CPatchwellApp& state, const std::string& text) {
    std::string::size_type at = LastLineStartingWith(text, kOwnModelStart);
    if (at == npos) return false;
    std::string::size_type next;
    std::string model = LineAt(text, at, &next);
    std::string::size_type middle = model.find(kOwnModelMiddle);
    if (middle == npos || !EndsWith(model, kOwnModelEnd) || next == npos) return false;
    std::string::size_type fourth = middle + std::char_traits<char>::length(kOwnModelMiddle);
    std::string::size_type fourthEnd = model.size() - std::char_traits<char>::length(kOwnModelEnd);
    if (fourth > fourthEnd) return false;
    std::string language = LineAt(text, next, &next);
    if (!StartsWith(language, 0, kOwnLanguageStart) || language.size() <= sizeof kOwnLanguageStart - 1 ||
        language.back() != '"' || next == npos)
        return false;
    std::string helper = LineAt(text, next, &next);
    if (!StartsWith(helper, 0, kOwnHelperStart) || !EndsWith(helper, kOwnHelperEnd) ||
        helper.size() < sizeof kOwnHelperStart - 1 + sizeof kOwnHelperEnd - 1 || next == npos)
        return false;
    std::string setup = LineAt(text, next, &next);
    if (setup != kOwnSetupLine) return false;

    std::string::size_type first = sizeof kOwnModelStart - 1;
    state.modelFirstText = model.substr(first, middle - first);
    state.modelFourthText = model.substr(fourth, fourthEnd - fourth);
    std::string::size_type value = sizeof kOwnLanguageStart - 1;
    state.languageText = language.substr(value, language.size() - 1 - value);
    value = sizeof kOwnHelperStart - 1;
    state.helperDialogsText = helper.substr(value, helper.size() - (sizeof kOwnHelperEnd - 1) - value);
    // The blocks follow in their fixed order, each beginning with its key and
    // running up to the next block's key; the last runs to the end.
    std::string::size_type pos = next == npos ? text.size() : next;
    constexpr std::size_t kCount = sizeof kBlocks / sizeof kBlocks[0];
    for (std::size_t i = 0; i < kCount && pos < text.size(); ++i) {
        if (!StartsWith(text, pos, kBlocks[i].startKey)) continue;
        std::string::size_type end = text.size();
        for (std::size_t later = i + 1; later < kCount; ++later) {
            std::string::size_type found = NextLineStartingWith(text, pos + 1, kBlocks[later].startKey);
            if (found != npos && found < end) end = found;
        }
        state.*kBlocks[i].field = text.substr(pos, end - pos);
        pos = end;
    }
    return true;
}

// The line break the file uses: CR LF unless its lines end in a bare LF.
std::string LineBreakOf(const std::string& bytes) {
    if (bytes.find("\r\n") != npos) return "\r\n";
    return bytes.find('\n') != npos ? "\n" : "\r\n";
}

void ClearCapturedOptions(CPatchwellApp& state) {
    state.optionsCaptured = false;
    state.optionsLineBreak.clear();
    for (const Block& block : kBlocks) (state.*block.field).clear();
    state.modelFirstText.clear();
    state.modelFourthText.clear();
    state.languageText.clear();
    state.helperDialogsText.clear();
}

// The restored lines. Built by concatenation, never through a format: the
// captured texts are the user's and may hold percent signs.
std::string RestoredLines(const CPatchwellApp& state) {
    std::string lines = "options.model = { 1, \"" + state.modelFirstText + "\", \"Default\", \"Default\", \"" +
                        state.modelFourthText + "\", \"default\", 0, 0, 0,0,0, 0,0,0, 0,0,0,0 }\n";
    lines += "options.language = \"" + state.languageText + "\"\n";
    lines += "options.default_showHelperDialogs = { " + state.helperDialogsText + " }\n";
    lines += "options.initialSetup = 0\n";
    lines += state.simulationSpeedBlock;
    lines += state.unitsSchemeBlock;
    lines += state.flyingSiteBlock;
    lines += state.flightRecorderBlock;
    lines += state.trainingStartHeightBlock;
    return lines;
}

}  // namespace

void SaveOptions(CPatchwellApp& state) { SaveOptionsFrom(state, PathIn(state.userDataFolder, kOptionsFile), nullptr); }

bool SaveOptionsFrom(CPatchwellApp& state, const std::string& path, std::string* asRead) {
    LogPrintf("Saving previous options...");
    ClearCapturedOptions(state);
    std::string bytes;
    if (!ReadRawFile(path, &bytes)) {
        LogPrintf("Error - could not open file: %s\n", path.empty() ? kOptionsFile : path.c_str());
        LogPrintf("Done\n");
        return false;
    }
    // The file is read as text, as the simulator writes it; its line break is
    // kept for the lines restored into the new file.
    std::string text = TextModeView(bytes);
    if (!CaptureOwnLayout(state, text)) {
        ClearCapturedOptions(state);
        CaptureBlocks(state, text);
        CaptureLanguage(state, text);
        CaptureHelperDialogs(state, text);
        CaptureModelTexts(state, text);
    }
    state.optionsLineBreak = LineBreakOf(bytes);
    state.optionsCaptured = true;
    if (asRead) *asRead = std::move(bytes);
    LogPrintf("Done\n");
    return true;
}

void RestoreOptions(CPatchwellApp& state) {
    if (!state.optionsCaptured) return;
    LogPrintf("Restoring options...");
    std::string path = PathIn(state.userDataFolder, kOptionsFile);
    plat::StreamHolder file(path.empty() ? nullptr : OpenForWriting(path, "ab"));
    if (!file) {
        LogPrintf("Error - could not open file: %s\n", path.empty() ? kOptionsFile : path.c_str());
    } else {
        // Written as bytes, every line ended the way the old file ended its lines.
        std::string breakText = state.optionsLineBreak.empty() ? "\r\n" : state.optionsLineBreak;
        std::string lines;
        for (char c : RestoredLines(state)) {
            if (c == '\n')
                lines += breakText;
            else
                lines += c;
        }
        bool written = plat::WriteStream(file.Get(), lines.data(), lines.size()) == lines.size();
        written &= file.Close() == 0;
        if (!written) LogPrintf("Error - could not write file: %s\n", path.c_str());
    }
    LogPrintf("Done\n");
}
