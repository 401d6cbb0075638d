// The native half of the Wine round trip (tests/wine/system_integration_test.sh):
// runs the system integration steps on the Wine prefix named by
// PW_ROUND_TRIP_PREFIX, which Wine then reads back. Skipped without it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/installer_state.h"
#include "platform/platform.h"
#include "platform/posix/machine.h"
#include "platform/posix/registry_store.h"
#include "system/uninstall_registry.h"

TEST(WineRoundTrip, WritesThePrefix) {
    const char* prefix = std::getenv("PW_ROUND_TRIP_PREFIX");
    if (!prefix || !*prefix) GTEST_SKIP() << "PW_ROUND_TRIP_PREFIX is not set";
    std::string error;
    ASSERT_TRUE(plat::posix::UseMachine(prefix, &error)) << error;
    ASSERT_FALSE(plat::posix::PrefixInUse(&error)) << error;
    CPatchwellApp state;
    std::string programs, desktop, appData;
    ASSERT_EQ(plat::FolderPath(plat::kCsidlCommonPrograms, &programs), 0);
    ASSERT_EQ(plat::FolderPath(plat::kCsidlCommonDesktop, &desktop), 0);
    ASSERT_EQ(plat::FolderPath(plat::kCsidlAppData, &appData), 0);
    state.startMenuFolder = programs + "/AerovinRC";
    state.desktopFolder = desktop;
    state.appDataFolder = appData + "/AerovinRC";
    state.installFolder = "C:\\Games\\Aerovin RC";
    state.builderFolder = "C:\\Games\\Aerovin Builder";
    state.createStartMenuShortcuts = true;
    state.createDesktopShortcuts = true;
    CleanUpRegistry();
    state.SetUpFirewall();
    state.CreateShortcuts();
}

// Run by the round trip while Wine still has the prefix open.
TEST(WineRoundTrip, RefusesAPrefixAWineserverHasOpen) {
    const char* prefix = std::getenv("PW_BUSY_PREFIX");
    if (!prefix || !*prefix) GTEST_SKIP() << "PW_BUSY_PREFIX is not set";
    std::string error;
    ASSERT_TRUE(plat::posix::UseMachine(prefix, &error)) << error;
    std::string message;
    EXPECT_TRUE(plat::posix::PrefixInUse(&message));
    EXPECT_THAT(message, ::testing::MatchesRegex(
                             "a wineserver has the prefix .* open; end it \\(wineserver -k\\) and start again"));
}
