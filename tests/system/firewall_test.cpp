#include "system/firewall.h"

#include <gtest/gtest.h>

#include "core/installer_state.h"
#include "platform/fault.h"
#include "platform/posix/registry_store.h"
#include "platform/registry.h"
#include "support/log_capture.h"
#include "support/scratch_machine.h"

namespace {

const char kList[] =
    "System\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile\\"
    "AuthorizedApplications\\List";
const char kLauncher[] = "C:\\Games\\AerovinRC\\AerovinRC.exe";
const char kSimulator[] = "C:\\Games\\AerovinRC\\Simulator.exe";

std::string Entry(const std::string& path) {
    std::string text;
    return plat::posix::ReadRegistryText(plat::kHkeyLocalMachine, kList, path, &text) ? text : "<missing>";
}

void SetEntry(const std::string& path, const std::string& data) {
    plat::RegKey key;
    ASSERT_EQ(plat::RegCreateKey(plat::kHkeyLocalMachine, kList, plat::kKeyAllAccess, key.Put(), nullptr), 0);
    ASSERT_EQ(plat::RegSetValue(key.Get(), path, plat::kRegSz, data.c_str(), static_cast<plat::DWORD>(data.size() + 1)),
              0);
}

class FirewallTest : public ::testing::Test {
protected:
    explicit FirewallTest(bool win64 = false) : machine(ScratchMachine::Options{win64, false}) {
        state.installFolder = "C:\\Games\\AerovinRC";
    }
    ScratchMachine machine;
    LogCapture log;
    plat::fault::Scope faults;
    CPatchwellApp state;
};

class Firewall64Test : public FirewallTest {
protected:
    Firewall64Test() : FirewallTest(true) {}
};

TEST_F(FirewallTest, NeitherRegisteredAddsBothEnabledWithTheirNames) {
    state.SetUpFirewall();
    EXPECT_EQ(log.Text(),
              "Setting up Windows Firewall:\n"
              "  Registering application: C:\\Games\\AerovinRC\\AerovinRC.exe...Success\n"
              "  Registering application: C:\\Games\\AerovinRC\\Simulator.exe...Success\n"
              "Success\n");
    EXPECT_EQ(Entry(kLauncher), std::string(kLauncher) + ":*:Enabled:Aerovin R/C\xAE Launcher");
    EXPECT_EQ(Entry(kSimulator), std::string(kSimulator) + ":*:Enabled:Aerovin R/C\xAE");
}

TEST_F(FirewallTest, EnabledEntriesCountWhateverTheirNameAndDisabledOnesAreReplaced) {
    SetEntry(kLauncher, std::string(kLauncher) + ":*:Enabled:Someone's launcher");
    SetEntry(kSimulator, std::string(kSimulator) + ":*:Disabled:Aerovin R/C\xAE");
    state.SetUpFirewall();
    EXPECT_EQ(log.Text(),
              "Setting up Windows Firewall:\n"
              "  Registering application: C:\\Games\\AerovinRC\\AerovinRC.exe...Application is already registered\n"
              "  Registering application: C:\\Games\\AerovinRC\\Simulator.exe...Success\n"
              "Success\n");
    EXPECT_EQ(Entry(kLauncher), std::string(kLauncher) + ":*:Enabled:Someone's launcher");
    EXPECT_EQ(Entry(kSimulator), std::string(kSimulator) + ":*:Enabled:Aerovin R/C\xAE");

    log.Clear();
    state.SetUpFirewall();
    EXPECT_EQ(log.Text(),
              "Setting up Windows Firewall:\n"
              "  Registering application: C:\\Games\\AerovinRC\\AerovinRC.exe...Application is already registered\n"
              "  Registering application: C:\\Games\\AerovinRC\\Simulator.exe...Application is already registered\n"
              "Success\n");
}

TEST_F(Firewall64Test, TheListIsSharedByBothViews) {
    state.SetUpFirewall();
    std::string text;
    // HKLM\System is not redirected for a 32-bit program.
    EXPECT_TRUE(plat::posix::ReadRegistryText(plat::kHkeyLocalMachine, kList, kSimulator, &text));
    plat::RegKey key;
    EXPECT_NE(plat::RegOpenKey(plat::kHkeyLocalMachine, std::string("Software\\Wow6432Node\\") + kList, 1, key.Put()),
              0);
}

TEST_F(FirewallTest, FailuresLogTheirHresult) {
    struct Case {
        const char* call;
        const char* path;
        plat::DWORD code;
        const char* log;
    } cases[] = {
        {"CoCreateInstance", "NetFwMgr", 0x80040154u,
         "Setting up Windows Firewall:\nError: Could not create Windows Firewall interface: 0x80040154\n"},
        {"INetFwMgr::get_LocalPolicy", "", 5,
         "Setting up Windows Firewall:\nError: Could not get Windows Firewall policy: 0x80070005\n"},
        {"INetFwPolicy::get_CurrentProfile", "", 0x800706D9u,
         "Setting up Windows Firewall:\nError: Could not get Windows Firewall profile: 0x800706d9\n"},
        {"INetFwProfile::get_AuthorizedApplications", "", 5,
         "Setting up Windows Firewall:\n"
         "  Registering application: C:\\Games\\AerovinRC\\AerovinRC.exe..."
         "Error: Could not get authorised apps: 0x80070005\nError: Could not get authorised apps: 0x80070005\n"
         "  Registering application: C:\\Games\\AerovinRC\\Simulator.exe..."
         "Error: Could not get authorised apps: 0x80070005\nError: Could not get authorised apps: 0x80070005\n"
         "Success\n"},
        {"CoCreateInstance", "NetFwAuthorizedApplication", 0x80004002u,
         "Setting up Windows Firewall:\n"
         "  Registering application: C:\\Games\\AerovinRC\\AerovinRC.exe...Error: Could not get authorised app: "
         "0x80004002\n"
         "  Registering application: C:\\Games\\AerovinRC\\Simulator.exe...Error: Could not get authorised app: "
         "0x80004002\n"
         "Success\n"},
    };
    for (const Case& c : cases) {
        plat::fault::Inject(c.call, c.code, c.path);
        log.Clear();
        state.SetUpFirewall();
        EXPECT_EQ(log.Text(), c.log) << c.call;
        plat::fault::Clear();
    }
    EXPECT_EQ(Entry(kLauncher), "<missing>");
    // The addition refused for one application only; the other still goes in.
    plat::fault::Rule once;
    once.call = "INetFwAuthorizedApplications::Add";
    once.code = 5;
    once.times = 1;
    plat::fault::Inject(once);
    log.Clear();
    state.SetUpFirewall();
    EXPECT_EQ(log.Text(),
              "Setting up Windows Firewall:\n"
              "  Registering application: C:\\Games\\AerovinRC\\AerovinRC.exe...Error: Could not add app: 0x80070005\n"
              "  Registering application: C:\\Games\\AerovinRC\\Simulator.exe...Success\n"
              "Success\n");
    EXPECT_EQ(Entry(kLauncher), "<missing>");
}

TEST(WidenText, EachByteBecomesTheCharacterOfTheSameValue) {
    EXPECT_EQ(WidenText("C:\\Sp\xE9l\\R/C\xAE.exe"), L"C:\\Sp\u00E9l\\R/C\u00AE.exe");
    EXPECT_EQ(WidenText(""), L"");
}

}  // namespace
