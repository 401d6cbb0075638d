#include "system/uninstall_registry.h"

#include <cstring>
#include <vector>

#include "core/installer_state.h"
#include "core/log.h"

namespace {

// The access every key of the clean-up is opened with (0x000B).
constexpr plat::DWORD kScanAccess = plat::kKeyQueryValue | plat::kKeySetValue | plat::kKeyEnumerateSubKeys;
constexpr plat::DWORD kNameCapacity = 1024;
constexpr plat::DWORD kValueCapacity = 1024;

const char kWowUninstall[] = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The display name; 0xAE is the registered sign in code page 1252.
const char kDisplayName[] = "Aerovin R/C\xAE";

// Whole text, byte for byte: no prefix, substring or case-folded match.
bool NamesTheProduct(const char* text) {
    return std::strcmp(text, "AerovinRC") == 0 || std::strcmp(text, kDisplayName) == 0;
}

// buffer holds kValueCapacity + 1 bytes.
bool ValueNamesTheProduct(plat::RegHandle key, const char* valueName, char* buffer) {
    plat::DWORD size = kValueCapacity;
    if (plat::RegQueryValue(key, valueName, nullptr, buffer, &size) != 0) return false;
    buffer[size] = '\0';  // the buffer has room past its 1024 bytes; the text ends at its first NUL
    return NamesTheProduct(buffer);
}

}  // namespace

void CollectProductKeys(plat::RegHandle root, const std::string& parentPath, std::list<RegistryKeyRef>& keys) {
    plat::RegKey parent;
    if (plat::RegOpenKey(root, parentPath, kScanAccess, parent.Put()) != 0) {
        LogPrintf("Error: Failed to open registry key: %s\n", parentPath.c_str());
        return;
    }
    char name[kNameCapacity];
    std::vector<char> value(kValueCapacity + 1);
    for (plat::DWORD index = 0;; ++index) {
        plat::DWORD capacity = kNameCapacity;
        if (plat::RegEnumKey(parent.Get(), index, name, &capacity) != 0) break;
        std::string path = parentPath + "\\" + name;
        plat::RegKey subkey;
        if (plat::RegOpenKey(root, path, kScanAccess, subkey.Put()) != 0) continue;
        if (ValueNamesTheProduct(subkey.Get(), "DisplayName", value.data())) keys.push_back({root, path});
        if (ValueNamesTheProduct(subkey.Get(), "ProductName", value.data())) keys.push_back({root, path});
    }
}

void DeleteKeyTree(plat::RegHandle root, const std::string& path) {
    LogPrintf("    Deleting key: %s\n", path.c_str());
    std::vector<std::string> names;
    {
        plat::RegKey key;
        if (plat::RegOpenKey(root, path, kScanAccess, key.Put()) != 0) return;
        char name[kNameCapacity];
        for (plat::DWORD index = 0;; ++index) {
            plat::DWORD capacity = kNameCapacity;
            if (plat::RegEnumKey(key.Get(), index, name, &capacity) != 0) break;
            names.push_back(name);
        }
    }
    for (const std::string& name : names) DeleteKeyTree(root, path + "\\" + name);
    plat::RegDeleteKey(root, path);  // a key whose subkeys could not go stays, silently
}

void CleanUpRegistry() {
    LogPrintf("Cleanin up registry:\n");
    std::list<RegistryKeyRef> keys;
    CollectProductKeys(plat::kHkeyLocalMachine, kWowUninstall, keys);
    CollectProductKeys(plat::kHkeyLocalMachine, kUninstall, keys);
    CollectProductKeys(plat::kHkeyClassesRoot, "Installer\\Products", keys);
    while (!keys.empty()) {
        const RegistryKeyRef& ref = keys.front();
        LogPrintf("  Deleting: %s...\n", ref.path.c_str());
        DeleteKeyTree(ref.root, ref.path);
        keys.pop_front();
    }
}

void WriteUninstallEntry(const CPatchwellApp& state) {
    LogPrintf("Creating registry keys...\n");
    std::string base = kWowUninstall;
    {
        plat::RegKey test;
        if (plat::RegOpenKey(plat::kHkeyLocalMachine, base, plat::kKeySetValue, test.Put()) != 0) base = kUninstall;
    }
    std::string path = base + "\\AerovinRC";
    plat::RegKey entry;
    long result = plat::RegOpenKey(plat::kHkeyLocalMachine, path, plat::kKeySetValue, entry.Put());
    if (result == plat::kErrorNoMatch || result == plat::kErrorFileNotFound) {
        LogPrintf("Creating: %s...\n", path.c_str());
        plat::DWORD disposition = 0;
        if (plat::RegCreateKey(plat::kHkeyLocalMachine, path, plat::kKeyAllAccess, entry.Put(), &disposition) != 0) {
            entry.Reset();
            LogPrintf("Error: could not create key\n");
        }
    }
    if (entry.IsValid()) {
        struct Item {
            const char* name;
            std::string text;
            bool known;  // false when a folder the text is built on is unknown
        } const values[] = {
            {"DisplayName", kDisplayName, true},
            {"Publisher", "Quenlow Ltd", true},
            {"DisplayVersion", "5.0.p", true},
            {"DisplayIcon", state.installFolder + "/AerovinRC.exe", !state.installFolder.empty()},
            {"UninstallString", "\"" + state.appDataFolder + "/Uninstall.exe\" \"" + state.installFolder + "\"",
             !state.appDataFolder.empty() && !state.installFolder.empty()},
        };
        for (const Item& item : values) {
            if (!item.known) {
                LogPrintf("Error: a folder of value %s is unknown; the value is not written\n", item.name);
                continue;
            }
            long written = plat::RegSetValue(entry.Get(), item.name, plat::kRegSz, item.text.c_str(),
                                             static_cast<plat::DWORD>(item.text.size() + 1));
            if (written != 0) LogPrintf("Error: could not write value: %s\n", item.name);
        }
    }
    LogPrintf("Done\n");
}
