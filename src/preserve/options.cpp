#include "preserve/options.h"

#include <string>

#include "core/installer_state.h"
#include "core/log.h"
#include "platform/platform.h"

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

std::string ReadWholeFile(plat::Stream* file) {
    std::string text;
    for (int c = plat::GetChar(file); c >= 0; c = plat::GetChar(file)) text += static_cast<char>(c);
    return text;
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

void ClearCapturedOptions(CPatchwellApp& state) {
    state.optionsCaptured = false;
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

void SaveOptions(CPatchwellApp& state) {
    LogPrintf("Saving previous options...");
    ClearCapturedOptions(state);
    std::string path = state.userDataFolder + kOptionsFile;
    plat::StreamHolder file(plat::OpenStream(path, "r"));
    if (!file) {
        LogPrintf("Error - could not open file: %s\n", path.c_str());
        LogPrintf("Done\n");
        return;
    }
    std::string text = ReadWholeFile(file.Get());
    CaptureBlocks(state, text);
    CaptureLanguage(state, text);
    CaptureHelperDialogs(state, text);
    CaptureModelTexts(state, text);
    file.Close();
    state.optionsCaptured = true;
    LogPrintf("Done\n");
}

void RestoreOptions(CPatchwellApp& state) {
    if (!state.optionsCaptured) return;
    LogPrintf("Restoring options...");
    std::string path = state.userDataFolder + kOptionsFile;
    plat::StreamHolder file(plat::OpenStream(path, "a"));
    if (!file) {
        LogPrintf("Error - could not open file: %s\n", path.c_str());
    } else {
        std::string lines = RestoredLines(state);
        bool written = plat::WriteStream(file.Get(), lines.data(), lines.size()) == lines.size();
        written &= file.Close() == 0;
        if (!written) LogPrintf("Error - could not write file: %s\n", path.c_str());
    }
    LogPrintf("Done\n");
}
