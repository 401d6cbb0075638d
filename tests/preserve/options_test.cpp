#include "preserve/options.h"

#include "preserve_fixture.h"

namespace {

const char kOptions[] = "/Settings/options.sim";
const char kOptionsPath[] = "C:\\scratch\\Documents/AerovinRC/Settings/options.sim";

// The fixed lines restored from a file that holds none of the keys.
const char kFourEmptyLines[] =
    "options.model = { 1, \"\", \"Default\", \"Default\", \"\", \"default\", 0, 0, 0,0,0, 0,0,0, 0,0,0,0 }\r\n"
    "options.language = \"\"\r\n"
    "options.default_showHelperDialogs = {  }\r\n"
    "options.initialSetup = 0\r\n";

class OptionsTest : public PreserveTest {};

TEST_F(OptionsTest, AFileWithoutKeysStillRestoresTheFourFixedLinesAfterThePackagesLines) {
    WriteUserFile(kOptions, "options.volume = 3\r\n");
    SaveOptions(state);
    EXPECT_TRUE(state.optionsCaptured);
    WriteUserFile(kOptions, "options.fromPackage = 1\r\n");  // what the packages installed
    RestoreOptions(state);
    EXPECT_EQ(machine.ReadFile(UserFile(kOptions)), std::string("options.fromPackage = 1\r\n") + kFourEmptyLines);
    EXPECT_EQ(log.Text(), "Saving previous options...Done\nRestoring options...Done\n");
}

TEST_F(OptionsTest, ChosenOptionsComeBackWithTheirLineBreaksAndPercentSigns) {
    WriteUserFile(kOptions,
                  "options.default_simulationSpeed = 100\r\n"
                  "options.note = \"100%s %d%%\"\r\n"
                  "options.initialSetup = 1\r\n"
                  "options.language = \"de\"\r\n"
                  "options.default_showHelperDialogs = { 1, 0 }\r\n"
                  "options.default_units_scheme = 2\r\n"
                  "options.playWindSound = 1\r\n"
                  "options.default_flyingSite = \"aerovinRC_elmHill.vrx\"\r\n"
                  "options.default_layoutMode = 0\r\n"
                  "options.default_flightRecorder_position = { 10, 20 }\r\n"
                  "options.models = { { 1, \"Trainer\", \"X\", \"Y\", \"Scheme A\", \"z\" } }\r\n"
                  "options.default_training_landing_startHeight = 30\r\n"
                  "options.recentFlyingSites = { }\r\n");
    SaveOptions(state);
    EXPECT_EQ(state.simulationSpeedBlock, "options.default_simulationSpeed = 100\noptions.note = \"100%s %d%%\"\n");
    EXPECT_EQ(state.unitsSchemeBlock, "options.default_units_scheme = 2\n");
    EXPECT_EQ(state.flyingSiteBlock, "options.default_flyingSite = \"aerovinRC_elmHill.vrx\"\n");
    EXPECT_EQ(state.flightRecorderBlock, "options.default_flightRecorder_position = { 10, 20 }\n");
    EXPECT_EQ(state.trainingStartHeightBlock, "options.default_training_landing_startHeight = 30\n");
    EXPECT_EQ(state.languageText, "de");
    EXPECT_EQ(state.helperDialogsText, "1, 0 ");
    EXPECT_EQ(state.modelFirstText, "Trainer");
    EXPECT_EQ(state.modelFourthText, "Scheme A");

    machine.WriteFile(UserFile(kOptions), "");
    RestoreOptions(state);
    EXPECT_EQ(machine.ReadFile(UserFile(kOptions)),
              "options.model = { 1, \"Trainer\", \"Default\", \"Default\", \"Scheme A\", \"default\", 0, 0, 0,0,0, "
              "0,0,0, 0,0,0,0 }\r\n"
              "options.language = \"de\"\r\n"
              "options.default_showHelperDialogs = { 1, 0  }\r\n"
              "options.initialSetup = 0\r\n"
              "options.default_simulationSpeed = 100\r\n"
              "options.note = \"100%s %d%%\"\r\n"
              "options.default_units_scheme = 2\r\n"
              "options.default_flyingSite = \"aerovinRC_elmHill.vrx\"\r\n"
              "options.default_flightRecorder_position = { 10, 20 }\r\n"
              "options.default_training_landing_startHeight = 30\r\n");
}

TEST_F(OptionsTest, EachValueIsCutByItsOwnRule) {
    struct Case {
        const char* file;
        const char* field;  // which captured text is compared
        const char* expected;
    } cases[] = {
        // Start key after end key: the block stays empty.
        {"options.initialSetup = 0\noptions.default_simulationSpeed = 5\noptions.initialSetup = 1\n", "speed", ""},
        {"options.default_simulationSpeed = 5\n\noptions.initialSetup = 1\n", "speed",
         "options.default_simulationSpeed = 5\n\n"},
        {"options.default_simulationSpeed = 5\n", "speed", ""},  // no end key
        // The end key of block 4 matches the models key itself.
        {"options.default_flightRecorder_position = 1\noptions.models = { }\n", "recorder",
         "options.default_flightRecorder_position = 1\n"},
        {"options.language = \"en\"\n", "language", "en"},
        {"options.language = \"\"\n", "language", ""},
        {"options.language = en\n", "language", ""},
        {"options.language = \"en\n", "language", ""},  // no closing quote at all
        {"options.language =  \"en\"\n", "language", ""},
        {"options.default_showHelperDialogs = { 1 }\n", "helpers", "1 "},
        // The character right after the brace is passed over, whatever it is.
        {"options.default_showHelperDialogs = {1,0}\n", "helpers", ",0"},
        {"options.default_showHelperDialogs = { }\n", "helpers", ""},
        {"options.default_showHelperDialogs = {", "helpers", ""},
        {"options.models = { { 1, \"Trainer\", \"X\", \"Y\", \"Scheme A\" } }\n", "first", "Trainer"},
        {"options.models = { { 1, \"Trainer\", \"X\", \"Y\", \"Scheme A\" } }\n", "fourth", "Scheme A"},
        {"options.models = { { 1, \"\", \"X\", \"Y\", \"\" } }\n", "first", ""},
        {"options.models = { { 1, \"Trainer\", \"X\", \"Y\", \"Sch", "fourth", ""},  // eighth quote missing
        {"options.models = {\"Trainer\", \"X\" }\n", "first", ", "},  // the quote right after the brace is passed over
        {"options.model = { 1, \"Trainer\" }\n", "first", ""},
    };
    for (const Case& c : cases) {
        WriteUserFile(kOptions, c.file);
        SaveOptions(state);
        std::string field = c.field;
        const std::string& actual = field == "speed"      ? state.simulationSpeedBlock
                                    : field == "recorder" ? state.flightRecorderBlock
                                    : field == "language" ? state.languageText
                                    : field == "helpers"  ? state.helperDialogsText
                                    : field == "first"    ? state.modelFirstText
                                                          : state.modelFourthText;
        EXPECT_EQ(actual, c.expected) << c.file;
        EXPECT_TRUE(state.optionsCaptured) << c.file;
    }
}

TEST_F(OptionsTest, AnEmptyHelperListDoesNotSwallowTheRestOfTheFile) {
    WriteUserFile(kOptions,
                  "options.default_showHelperDialogs = {}\r\n"
                  "options.language = \"fr\"\r\n"
                  "options.recentFlyingSites = { \"a\" }\r\n");
    SaveOptions(state);
    EXPECT_EQ(state.helperDialogsText, "");
    EXPECT_EQ(state.languageText, "fr");
    machine.WriteFile(UserFile(kOptions), "");
    RestoreOptions(state);
    std::string restored = machine.ReadFile(UserFile(kOptions));
    EXPECT_NE(restored.find("options.default_showHelperDialogs = {  }\r\noptions.initialSetup = 0\r\n"),
              std::string::npos)
        << restored;
    EXPECT_EQ(restored.find("recentFlyingSites"), std::string::npos) << restored;
}

TEST_F(OptionsTest, ACaptureStartsFromEmptyFields) {
    WriteUserFile(kOptions, "options.language = \"de\"\noptions.default_units_scheme = 1\noptions.playWindSound = 0\n");
    SaveOptions(state);
    ASSERT_EQ(state.languageText, "de");
    WriteUserFile(kOptions, "options.volume = 1\n");
    SaveOptions(state);
    EXPECT_EQ(state.languageText, "");
    EXPECT_EQ(state.unitsSchemeBlock, "");
}

TEST_F(OptionsTest, AMissingFileCapturesNothingAndRestoresNothing) {
    state.languageText = "stale";
    SaveOptions(state);
    EXPECT_FALSE(state.optionsCaptured);
    EXPECT_EQ(state.languageText, "");
    RestoreOptions(state);
    EXPECT_EQ(log.Text(), std::string("Saving previous options...Error - could not open file: ") + kOptionsPath +
                              "\nDone\n");
    EXPECT_FALSE(machine.Exists(UserFile(kOptions)));
}

TEST_F(OptionsTest, AFailedOpenOrWriteAtRestoreIsLoggedBeforeDone) {
    state.optionsCaptured = true;
    RestoreOptions(state);  // no "Settings" folder
    EXPECT_EQ(log.Text(), std::string("Restoring options...Error - could not open file: ") + kOptionsPath + "\nDone\n");

    machine.MakeFolder(UserFile("/Settings"));
    for (const char* call : {"fwrite", "fclose"}) {
        plat::fault::Inject(call, plat::kErrorDiskFull, "options.sim");
        log.Clear();
        RestoreOptions(state);
        EXPECT_EQ(log.Text(),
                  std::string("Restoring options...Error - could not write file: ") + kOptionsPath + "\nDone\n")
            << call;
        plat::fault::Clear();
    }
}

}  // namespace

namespace {

// The fourteen option lines of a user's file in the old layout.
const char kFullOldFile[] =
    "options.default_simulationSpeed = 0.8\n"
    "options.default_wind = { 3, 270 }\n"
    "options.initialSetup = 1\n"
    "options.default_units_scheme = \"imperial\"\n"
    "options.playWindSound = 1\n"
    "options.default_flyingSite = \"aerovinRC_elmHill\"\n"
    "options.default_flyingSite_time = 14\n"
    "options.default_layoutMode = 2\n"
    "options.default_flightRecorder_position = { 12, 40 }\n"
    "options.models = { { \"Trainer\", \"Blue\", \"Mode 2\", \"Sunset scheme\" }, { \"Glider\" } }\n"
    "options.language = \"en\"\n"
    "options.default_showHelperDialogs = { 1, 0, 1, 1 }\n"
    "options.default_training_landing_startHeight = 25\n"
    "options.recentFlyingSites = { \"aerovinRC_elmHill\", \"My strip\" }\n";

struct CapturedOptions {
    std::string blocks[5], model1, model4, language, helpers;
    bool operator==(const CapturedOptions&) const = default;
};

CapturedOptions Captured(const CPatchwellApp& state) {
    return {{state.simulationSpeedBlock, state.unitsSchemeBlock, state.flyingSiteBlock, state.flightRecorderBlock,
             state.trainingStartHeightBlock},
            state.modelFirstText,
            state.modelFourthText,
            state.languageText,
            state.helperDialogsText};
}

TEST_F(OptionsTest, EveryValueOfTheFirstRunSurvivesTwoMoreRuns) {
    for (const char* lineBreak : {"\n", "\r\n"}) {
        std::string old = kFullOldFile;
        if (std::string(lineBreak) == "\r\n") {
            old.clear();
            for (char c : std::string(kFullOldFile)) old += c == '\n' ? std::string("\r\n") : std::string(1, c);
        }
        WriteUserFile(kOptions, old);
        std::string firstResult;
        CapturedOptions first;
        for (int run = 0; run < 3; ++run) {
            SaveOptions(state);
            if (run == 0) first = Captured(state);
            EXPECT_TRUE(Captured(state) == first) << "run " << run << ": " << state.simulationSpeedBlock << "|"
                                                  << state.modelFirstText << "|" << state.trainingStartHeightBlock;
            // The packages bring a fresh file that holds some of the same keys.
            WriteUserFile(kOptions, std::string("options.default_simulationSpeed = 1.0") + lineBreak +
                                        "options.initialSetup = 1" + lineBreak + "options.language = \"en\"" +
                                        lineBreak);
            RestoreOptions(state);
            std::string result = machine.ReadFile(UserFile(kOptions));
            if (run == 0) firstResult = result;
            EXPECT_EQ(result, firstResult) << "run " << run;
        }
        EXPECT_EQ(first.model1, "Trainer");
        EXPECT_EQ(first.model4, "Sunset scheme");
        EXPECT_EQ(first.blocks[2], "options.default_flyingSite = \"aerovinRC_elmHill\"\n"
                                   "options.default_flyingSite_time = 14\n");
        EXPECT_EQ(first.blocks[4], "options.default_training_landing_startHeight = 25\n");
    }
}

TEST_F(OptionsTest, RestoredLinesEndTheWayTheOldFileEndedItsLines) {
    WriteUserFile(kOptions, "options.language = \"de\"\noptions.default_units_scheme = 1\noptions.playWindSound = 0\n");
    SaveOptions(state);
    WriteUserFile(kOptions, "");
    RestoreOptions(state);
    EXPECT_EQ(machine.ReadFile(UserFile(kOptions)),
              "options.model = { 1, \"\", \"Default\", \"Default\", \"\", \"default\", 0, 0, 0,0,0, 0,0,0, 0,0,0,0 }\n"
              "options.language = \"de\"\n"
              "options.default_showHelperDialogs = {  }\n"
              "options.initialSetup = 0\n"
              "options.default_units_scheme = 1\n");
    WriteUserFile(kOptions, "options.language = \"de\"\r\noptions.default_units_scheme = 1\r\noptions.playWindSound = 0\r\n");
    SaveOptions(state);
    WriteUserFile(kOptions, "");
    RestoreOptions(state);
    EXPECT_EQ(machine.ReadFile(UserFile(kOptions)).find("\n", 0), machine.ReadFile(UserFile(kOptions)).find("\r\n") + 1);
    EXPECT_EQ(machine.ReadFile(UserFile(kOptions)).find("\r\n\n"), std::string::npos);
    EXPECT_NE(machine.ReadFile(UserFile(kOptions)).find("options.default_units_scheme = 1\r\n"), std::string::npos);
}

TEST_F(OptionsTest, AFileThatOnlyLooksLikeOursIsReadInTheOldLayout) {
    // A model line of this program's form without the lines that follow it.
    WriteUserFile(kOptions,
                  "options.model = { 1, \"A\", \"Default\", \"Default\", \"B\", \"default\", 0, 0, 0,0,0, 0,0,0, "
                  "0,0,0,0 }\r\noptions.language = \"fr\"\r\noptions.initialSetup = 1\r\n");
    SaveOptions(state);
    EXPECT_EQ(state.languageText, "fr");
    EXPECT_EQ(state.modelFirstText, "");
    EXPECT_TRUE(state.optionsCaptured);
}

}  // namespace
