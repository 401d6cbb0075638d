#include "preserve/calibration.h"

#include <cstdint>

#include "preserve_fixture.h"

namespace {

const char kCalibration[] = "/Settings/controller_0.vxt";
const char kCalibrationPath[] = "C:\\scratch\\Documents/AerovinRC/Settings/controller_0.vxt";

std::string LittleEndian(std::int32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * i));
    return bytes;
}

// count integers: -1, then 1, 2, 3, ... (the first is negative to show the sign).
std::string Integers(int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i) bytes += LittleEndian(i == 0 ? -1 : i);
    return bytes;
}

class CalibrationTest : public PreserveTest {};

TEST_F(CalibrationTest, TheOldLayoutKeepsThreeOfElevenIntegersPerChannel) {
    WriteUserFile(kCalibration, Integers(88));  // 352 bytes
    SaveCalibration(state);
    EXPECT_TRUE(state.calibrationCaptured);
    EXPECT_EQ(log.Text(), "Saving previous calibration...");
    log.Clear();
    RestoreCalibration(state);
    EXPECT_EQ(log.Text(),
              "Restoring calibration..."
              "0: -1,1,2\n1: 11,12,13\n2: 22,23,24\n3: 33,34,35\n"
              "4: 44,45,46\n5: 55,56,57\n6: 66,67,68\n7: 77,78,79\n"
              "Done\n");
    std::string expected;
    for (int channel = 0; channel < 8; ++channel)
        for (int i = 0; i < 3; ++i) expected += LittleEndian(channel == 0 && i == 0 ? -1 : 11 * channel + i);
    EXPECT_EQ(machine.ReadFile(UserFile(kCalibration)), expected);
}

TEST_F(CalibrationTest, AShortFileLeavesZerosAndStillCounts) {
    WriteUserFile(kCalibration, Integers(5));  // 20 bytes
    SaveCalibration(state);
    EXPECT_TRUE(state.calibrationCaptured);
    RestoreCalibration(state);
    std::string restored = machine.ReadFile(UserFile(kCalibration));
    EXPECT_EQ(restored, Integers(3) + std::string(84, '\0'));
    EXPECT_TRUE(log.Contains("Restoring calibration...0: -1,1,2\n1: 0,0,0\n"));
}

TEST_F(CalibrationTest, AFileAlreadyInTheNewLayoutComesBackUnchanged) {
    WriteUserFile(kCalibration, Integers(24));  // 96 bytes, as an earlier run wrote it
    SaveCalibration(state);
    RestoreCalibration(state);
    EXPECT_EQ(machine.ReadFile(UserFile(kCalibration)), Integers(24));
    EXPECT_TRUE(log.Contains("Restoring calibration...0: -1,1,2\n1: 3,4,5\n"));
}

TEST_F(CalibrationTest, AMissingFileIsNotCapturedAndNothingIsRestored) {
    state.calibration[3][1] = 9;
    state.calibrationCaptured = true;
    SaveCalibration(state);
    EXPECT_FALSE(state.calibrationCaptured);
    EXPECT_EQ(state.calibration[3][1], 0);
    RestoreCalibration(state);
    EXPECT_EQ(log.Text(),
              std::string("Saving previous calibration...Error - could not open file: ") + kCalibrationPath + "\n");
    EXPECT_FALSE(machine.Exists(UserFile(kCalibration)));
}

TEST_F(CalibrationTest, AFailedOpenOrWriteIsLoggedBeforeDone) {
    state.calibrationCaptured = true;
    RestoreCalibration(state);  // no "Settings" folder
    std::string channels = "0: 0,0,0\n1: 0,0,0\n2: 0,0,0\n3: 0,0,0\n4: 0,0,0\n5: 0,0,0\n6: 0,0,0\n7: 0,0,0\n";
    EXPECT_EQ(log.Text(),
              std::string("Restoring calibration...Error - could not open file: ") + kCalibrationPath + "\nDone\n");
    machine.MakeFolder(UserFile("/Settings"));
    for (const char* call : {"fwrite", "fclose"}) {
        plat::fault::Inject(call, plat::kErrorDiskFull, "controller_0");
        log.Clear();
        RestoreCalibration(state);
        EXPECT_EQ(log.Text(), "Restoring calibration..." + channels + "Error - could not write file: " +
                                  kCalibrationPath + "\nDone\n")
            << call;
        plat::fault::Clear();
    }
}

}  // namespace
