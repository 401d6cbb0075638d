// The registry kept in the prefix's own files, and the known folders read from it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/platform.h"
#include "platform/posix/machine.h"
#include "platform/posix/registry_store.h"
#include "platform/registry.h"
#include "support/scratch_machine.h"

namespace {

// A file as Wine writes it, with every kind of line the reader must keep.
const char kSystemReg[] =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to REGISTRY\\\\Machine\n"
    "\n"
    "#arch=win64\n"
    "\n"
    "[Software\\\\Classes\\\\Wow6432Node] 1796796300\n"
    "#time=1dd87a360000000\n"
    "#link\n"
    "\"SymbolicLinkValue\"=hex(6):5c,00,52,00,65,00,67,00,69,00,73,00,74,00,72,00,79,00,5c,00,4d,00,61,00,\\\n"
    "  63,00,68,00,69,00,6e,00,65,00\n"
    "\n"
    "[Software\\\\PWFormat] 1796796366\n"
    "#time=1dd87a360e8ffd4\n"
    "#class=\"MyClass\"\n"
    "@=\"default\"\n"
    "\"ae_then_A\"=\"R/C\\x00aeA\"\n"
    "\"ctrl\"=\"t\\tn\\nr\\r\\1e\"\n"
    "\"dword\"=dword:0000000a\n"
    "\"expand\"=str(2):\"%ProgramFiles%\\\\x\"\n"
    "\"multi2\"=str(7):\"a\\0bc\\0\\0\"\n"
    "\"na\\\"me\\\\x\"=\"v\"\n"
    "\"qword\"=hex(b):88,77,66,55,44,33,22,11\n"
    "\"zero\"=hex(1):\n"
    "\n"
    "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1796796259\n"
    "#time=1dd87a3500a0c20\n"
    "\"ProgramFilesDir\"=\"C:\\\\Program Files (x86)\"\n"
    "\n"
    "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall] 1796796259\n"
    "#time=1dd87a3500a0c20\n";

class RegistryFileTest : public ::testing::Test {
protected:
    RegistryFileTest() : machine(ScratchMachine::Options{true, false}) {
        std::ofstream(machine.PrefixFolder() + "/system.reg", std::ios::binary) << kSystemReg;
        plat::posix::ForgetRegistry();
    }
    std::string SystemReg() const {
        std::ifstream in(machine.PrefixFolder() + "/system.reg", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    ScratchMachine machine;
};

TEST_F(RegistryFileTest, UntouchedKeysStayByteForByteAndNewKeysComeInWinesOrder) {
    plat::RegKey key;
    plat::DWORD disposition = 0;
    ASSERT_EQ(plat::RegCreateKey(plat::kHkeyLocalMachine, "System\\Fresh", plat::kKeyAllAccess, key.Put(),
                                 &disposition),
              0);
    EXPECT_EQ(disposition, plat::kRegCreatedNewKey);
    std::string text = SystemReg();
    std::size_t fresh = text.find("\n[System\\\\Fresh] ");
    ASSERT_NE(fresh, std::string::npos) << text;
    EXPECT_EQ(text.substr(0, fresh), kSystemReg);  // "System" sorts after "Software"
    EXPECT_EQ(text.find("\n#time=", fresh), text.find('\n', fresh + 1));
    EXPECT_EQ(text.back(), '\n');
}

TEST_F(RegistryFileTest, ValuesOfEveryKindReadBackAsTheAnsiCallsGiveThem) {
    plat::RegKey key;
    ASSERT_EQ(plat::RegOpenKey(plat::kHkeyLocalMachine, "Software\\Wow6432Node\\..\\PWFormat", 1, key.Put()), 2);
    // Software\Classes is shared: no redirection on the way to it.
    ASSERT_EQ(plat::RegOpenKey(plat::kHkeyLocalMachine, "Software\\Classes\\Wow6432Node", 1, key.Put()), 0);
    // The 32-bit view of Software\PWFormat is Software\Wow6432Node\PWFormat, which does not exist.
    EXPECT_EQ(plat::RegOpenKey(plat::kHkeyLocalMachine, "Software\\PWFormat", 1, key.Put()), 2);
    struct Case {
        const char* name;
        plat::DWORD type;
        std::string bytes;
    } cases[] = {
        {"", plat::kRegSz, std::string("default", 8)},
        {"AE_THEN_A", plat::kRegSz, std::string("R/C\xAE" "A", 6)},
        {"ctrl", plat::kRegSz, std::string("t\tn\nr\r\1e", 9)},
        {"dword", plat::kRegDword, std::string("\x0a\0\0\0", 4)},
        {"expand", plat::kRegExpandSz, std::string("%ProgramFiles%\\x", 17)},
        {"multi2", plat::kRegMultiSz, std::string("a\0bc\0\0", 7)},
        {"na\"me\\x", plat::kRegSz, std::string("v", 2)},
        {"qword", plat::kRegQword, std::string("\x88\x77\x66\x55\x44\x33\x22\x11", 8)},
        {"zero", plat::kRegSz, std::string()},
    };
    // As a 32-bit machine nothing is redirected and the key is reached as written.
    std::string text = SystemReg();
    text.replace(text.find("#arch=win64"), 11, "#arch=win32");
    std::ofstream(machine.PrefixFolder() + "/system.reg", std::ios::binary) << text;
    std::string error;
    ASSERT_TRUE(plat::posix::UseMachine(machine.PrefixFolder(), &error));
    plat::RegKey format;
    ASSERT_EQ(plat::RegOpenKey(plat::kHkeyLocalMachine, "software\\pwformat\\", 1, format.Put()), 0);
    for (const Case& c : cases) {
        char buffer[64] = {};
        plat::DWORD type = 99, size = sizeof buffer;
        ASSERT_EQ(plat::RegQueryValue(format.Get(), c.name, &type, buffer, &size), 0) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(std::string(buffer, size), c.bytes) << c.name;
    }
    char small[4];
    plat::DWORD size = sizeof small;
    EXPECT_EQ(plat::RegQueryValue(format.Get(), "expand", nullptr, small, &size), plat::kErrorMoreData);
    EXPECT_EQ(size, 17u);
    EXPECT_EQ(plat::RegQueryValue(format.Get(), "missing", nullptr, small, &size), 2);
}

TEST_F(RegistryFileTest, ResultCodesAreThoseOfWindows) {
    plat::RegKey key;
    EXPECT_EQ(plat::RegOpenKey(plat::kHkeyLocalMachine, "\\Software", 1, key.Put()), 161);
    EXPECT_EQ(plat::RegOpenKey(plat::kHkeyLocalMachine, "Software/Classes", 1, key.Put()), 2);
    EXPECT_EQ(plat::RegDeleteKey(plat::kHkeyLocalMachine, "Software\\Classes"), 5);  // it has subkeys
    EXPECT_EQ(plat::RegDeleteKey(plat::kHkeyLocalMachine, ""), 5);
    ASSERT_EQ(plat::RegCreateKey(plat::kHkeyLocalMachine, "System\\K\\b", plat::kKeyAllAccess, key.Put(), nullptr), 0);
    ASSERT_EQ(plat::RegCreateKey(plat::kHkeyLocalMachine, "System\\K\\A", plat::kKeyAllAccess, key.Put(), nullptr), 0);
    ASSERT_EQ(plat::RegCreateKey(plat::kHkeyLocalMachine, "System\\K\\_u", plat::kKeyAllAccess, key.Put(), nullptr),
              0);
    ASSERT_EQ(plat::RegOpenKey(plat::kHkeyLocalMachine, "System\\K", 0xB, key.Put()), 0);
    std::string names;
    char name[8];
    for (plat::DWORD i = 0;; ++i) {
        plat::DWORD capacity = sizeof name;
        long result = plat::RegEnumKey(key.Get(), i, name, &capacity);
        if (result != 0) {
            EXPECT_EQ(result, plat::kErrorNoMoreItems);
            break;
        }
        names += std::string(name) + " ";
    }
    EXPECT_EQ(names, "_u A b ");  // sorted by lower-case names, as Wine keeps them
    plat::DWORD capacity = 2;
    EXPECT_EQ(plat::RegEnumKey(key.Get(), 0, name, &capacity), plat::kErrorMoreData);
    plat::RegKey leaf;
    ASSERT_EQ(plat::RegOpenKey(plat::kHkeyLocalMachine, "System\\K\\A", 2, leaf.Put()), 0);
    EXPECT_EQ(plat::RegDeleteKey(plat::kHkeyLocalMachine, "System\\K\\a"), 0);
    EXPECT_EQ(plat::RegDeleteKey(plat::kHkeyLocalMachine, "System\\K\\a"), 2);
    EXPECT_EQ(plat::RegSetValue(leaf.Get(), "x", plat::kRegSz, "1", 2), plat::kErrorKeyDeleted);
    EXPECT_EQ(SystemReg().find("[System\\\\K\\\\A]"), std::string::npos);
}

TEST_F(RegistryFileTest, ChangedValuesAreWrittenInWinesTextForm) {
    plat::RegKey key;
    ASSERT_EQ(plat::RegCreateKey(plat::kHkeyLocalMachine, "System\\W", plat::kKeyAllAccess, key.Put(), nullptr), 0);
    std::string binary;
    for (int i = 0; i < 30; ++i) binary += static_cast<char>(i);
    plat::RegSetValue(key.Get(), "z", plat::kRegSz, "R/C\xAEz", 6);
    plat::RegSetValue(key.Get(), "b", plat::kRegBinary, binary.data(), static_cast<plat::DWORD>(binary.size()));
    plat::RegSetValue(key.Get(), "n\xAEme", plat::kRegSz, "abc", 3);  // no terminator: one is added
    plat::RegSetValue(key.Get(), "d", plat::kRegDword, "\x01\x02\0\0", 4);
    plat::RegSetValue(key.Get(), "c", plat::kRegSz, "a\x01" "7\x1f", 5);
    std::string text = SystemReg();
    std::size_t block = text.find("[System\\\\W] ");
    ASSERT_NE(block, std::string::npos);
    std::string values = text.substr(text.find('\n', text.find("#time=", block)) + 1);
    EXPECT_EQ(values,
              "\"b\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\n"
              "  17,18,19,1a,1b,1c,1d\n"
              "\"c\"=\"a\\0017\\37\"\n"
              "\"d\"=dword:00000201\n"
              "\"n\\xaeme\"=\"abc\"\n"
              "\"z\"=\"R/C\\xaez\"\n");
}

TEST(KnownFolders, ComeFromTheRegistryThenWinesLayout) {
    ScratchMachine machine(ScratchMachine::Options{true, false});
    std::string user = plat::posix::UserName();
    std::ofstream(machine.PrefixFolder() + "/user.reg", std::ios::binary)
        << "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n"
           "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1796796259\n"
           "\"AppData\"=\"C:\\\\users\\\\" + user + "\\\\AppData\\\\Roaming\"\n"
           "\"Personal\"=\"C:\\\\Elsewhere\"\n"
           "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\User Shell Folders] 1796796259\n"
           "\"Personal\"=str(2):\"%USERPROFILE%\\\\My Docs\"\n";
    std::ofstream(machine.PrefixFolder() + "/system.reg", std::ios::binary | std::ios::app)
        << "\n[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1796796259\n"
           "\"ProgramFilesDir\"=\"C:\\\\Program Files (x86)\"\n"
           "\n[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
           "\"Common Desktop\"=\"C:\\\\Desk\"\n";
    machine.MakeFolder("C:\\users\\" + user + "\\My Docs");
    struct Case {
        int csidl;
        std::string folder;
    } cases[] = {
        {plat::kCsidlPersonal, "C:\\users\\" + user + "\\My Docs"},
        {plat::kCsidlAppData, "C:\\users\\" + user + "\\AppData\\Roaming"},
        {plat::kCsidlCommonPrograms, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
        {plat::kCsidlCommonDesktop, ""},  // C:\Desk does not exist
        {plat::kCsidlProgramFiles, "C:\\Program Files (x86)"},
    };
    for (const Case& c : cases) {
        std::string folder = "stale";
        plat::HRESULT hr = plat::FolderPath(c.csidl, &folder);
        EXPECT_EQ(folder, c.folder) << c.csidl;
        EXPECT_EQ(hr, c.folder.empty() ? static_cast<plat::HRESULT>(0x80070002u) : 0) << c.csidl;
    }
    machine.MakeFolder("C:\\Desk");
    std::string desk;
    EXPECT_EQ(plat::FolderPath(plat::kCsidlCommonDesktop, &desk), 0);
    EXPECT_EQ(desk, "C:\\Desk");
}

TEST(PrefixInUse, AFreshPrefixHasNoServer) {
    ScratchMachine machine;
    std::string message = "untouched";
    EXPECT_FALSE(plat::posix::PrefixInUse(&message));
    EXPECT_EQ(message, "untouched");
}

}  // namespace
