#include "preserve/sites.h"

#include "preserve_fixture.h"

namespace {

const char kOldList[] = "/Settings/installedUpdates.vrx";
const char kOldListPath[] = "C:\\scratch\\Documents/AerovinRC/Settings/installedUpdates.vrx";
const char kInstalledPath[] = "C:\\scratch\\Games\\AerovinRC/resources/data/installed.dat";

class SitesTest : public PreserveTest {
protected:
    std::list<std::string> SitesFrom(const std::string& oldList) {
        WriteUserFile(kOldList, oldList);
        SaveInstalledSites(state);
        return state.installedStockSites;
    }
};

TEST_F(SitesTest, ReadTokenDropsLineFeedsAndStopsAtSemicolonOrEnd) {
    machine.WriteFile(root + "\\t.txt", "a b;\r\nc\r\nd;;tail");
    plat::StreamHolder file(plat::OpenStream(root + "\\t.txt", "r"));
    ASSERT_TRUE(file);
    EXPECT_EQ(ReadToken(file.Get()), "a b");
    EXPECT_EQ(ReadToken(file.Get()), "cd");
    EXPECT_EQ(ReadToken(file.Get()), "");
    EXPECT_EQ(ReadToken(file.Get()), "tail");
    EXPECT_EQ(ReadToken(file.Get()), "");
}

TEST_F(SitesTest, TwoStockSitesAndAnotherGiveExactlyTwoLines) {
    WriteUserFile(kOldList,
                  "aerovinRC_elmHill.vrx;1;2;myOwnField.vrx;1;2;aerovinRC_northRcClub_planes.vrx;3;4;");
    SaveInstalledSites(state);
    WriteInstalledList(state);
    EXPECT_EQ(machine.ReadFile(kInstalledPath), "aerovinRC_elmHill,1.0,\r\naerovinRC_northRcClub_planes,1.0,\r\n");
    EXPECT_EQ(log.Text(), "Saving installed sites...Done\n");
}

TEST_F(SitesTest, OnlyExactStockNamesInTheRecordsBeforeTheFirstEmptyNameCount) {
    struct Case {
        const char* oldList;
        std::list<std::string> expected;
    } cases[] = {
        {"aerovinRC_dock\r\nyard.vrx;\r\n1;\r\n2;\r\n", {"aerovinRC_dockyard.vrx"}},  // split over lines
        {";aerovinRC_elmHill.vrx;1;2;", {}},
        {"AerovinRC_elmHill.vrx;1;2; aerovinRC_elmHill.vrx;1;2;", {}},
        {"aerovinRC_elmHill.vrx;1;2;aerovinRC_elmHill.vrx;1;2", {"aerovinRC_elmHill.vrx", "aerovinRC_elmHill.vrx"}},
        {"aerovinRC_elmHill.vrx;1;2;;aerovinRC_lanternQuay.vrx;1;2;", {"aerovinRC_elmHill.vrx"}},
        {"aerovinRC_alderField.vrx", {"aerovinRC_alderField.vrx"}},  // a last record cut short
        {"aerovinRC_elmHill.vrx.bak;1;2;aerovinRC_fernCastle.vrx;1;2;", {"aerovinRC_fernCastle.vrx"}},
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(SitesFrom(c.oldList), c.expected) << c.oldList;
}

TEST_F(SitesTest, WithoutStockSitesTheInstalledListIsLeftAsItWas) {
    machine.WriteFile(kInstalledPath, "fromPackage,1.0,\r\n");
    SaveInstalledSites(state);  // no old list
    EXPECT_EQ(log.Text(), std::string("Saving installed sites...Error - could not open file: ") + kOldListPath +
                              "\nDone\n");
    WriteInstalledList(state);
    SitesFrom("someoneElse.vrx;1;2;");
    WriteInstalledList(state);
    EXPECT_EQ(machine.ReadFile(kInstalledPath), "fromPackage,1.0,\r\n");
}

TEST_F(SitesTest, AFailedOpenOrWriteOfTheInstalledListIsLogged) {
    state.installedStockSites = {"aerovinRC_elmHill.vrx"};
    std::string writeError = std::string("Error - could not write file: ") + kInstalledPath + "\n";
    for (const char* call : {"fwrite", "fclose"}) {
        plat::fault::Inject(call, plat::kErrorDiskFull, "installed.dat");
        log.Clear();
        WriteInstalledList(state);
        EXPECT_EQ(log.Text(), writeError) << call;
        plat::fault::Clear();
    }
    state.installFolder = root + "\\Missing";
    log.Clear();
    WriteInstalledList(state);
    EXPECT_EQ(log.Text(), "Error - could not open file: C:\\scratch\\Missing/resources/data/installed.dat\n");
}

}  // namespace
