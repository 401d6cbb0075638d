// The registry, as the ANSI registry functions of Windows give it to a
// 32-bit process (no view flag is ever passed).
//
// Results are the Windows error codes the functions return (0 on success).
// The POSIX backend keeps the registry in the Wine prefix's own files; see
// posix/registry_posix.cpp.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace plat {

// A key handle: a predefined root or a key opened or created below one.
using RegHandle = std::uintptr_t;

constexpr RegHandle kHkeyClassesRoot = 0x80000000u;
constexpr RegHandle kHkeyCurrentUser = 0x80000001u;
constexpr RegHandle kHkeyLocalMachine = 0x80000002u;

constexpr DWORD kKeyQueryValue = 0x0001;
constexpr DWORD kKeySetValue = 0x0002;
constexpr DWORD kKeyEnumerateSubKeys = 0x0008;
constexpr DWORD kKeyAllAccess = 0xF003F;

constexpr DWORD kRegNone = 0;
constexpr DWORD kRegSz = 1;
constexpr DWORD kRegExpandSz = 2;
constexpr DWORD kRegBinary = 3;
constexpr DWORD kRegDword = 4;
constexpr DWORD kRegLink = 6;
constexpr DWORD kRegMultiSz = 7;
constexpr DWORD kRegQword = 11;

constexpr DWORD kRegCreatedNewKey = 1;
constexpr DWORD kRegOpenedExistingKey = 2;

constexpr long kErrorSuccess = 0;
constexpr long kErrorMoreData = 234;
constexpr long kErrorNoMoreItems = 259;
constexpr long kErrorKeyDeleted = 1018;
constexpr long kErrorNoMatch = 1169;

// RegOpenKeyExA(root, path, 0, access, key).
long RegOpenKey(RegHandle root, const std::string& path, DWORD access, RegHandle* key);
// RegCreateKeyExA(root, path, 0, no class, REG_OPTION_NON_VOLATILE, access,
// no security, key, disposition). Makes every missing level.
long RegCreateKey(RegHandle root, const std::string& path, DWORD access, RegHandle* key, DWORD* disposition);
// RegEnumKeyExA(key, index, name, capacity): capacity holds the buffer's size
// in characters and receives the name's length without its terminator.
// 259 after the last subkey, 234 when the name does not fit.
long RegEnumKey(RegHandle key, DWORD index, char* name, DWORD* capacity);
// RegQueryValueExA(key, name, no reserved, type, data, size). type and data
// may be null. 234, with the size needed and the buffer untouched, when the
// value does not fit.
long RegQueryValue(RegHandle key, const std::string& name, DWORD* type, void* data, DWORD* size);
// RegSetValueExA(key, name, 0, type, data, size).
long RegSetValue(RegHandle key, const std::string& name, DWORD type, const void* data, DWORD size);
// RegDeleteKeyA(root, path): a key without subkeys (5 when it has some).
long RegDeleteKey(RegHandle root, const std::string& path);
// RegCloseKey.
long RegCloseKey(RegHandle key);

// Closes the key it holds when it goes out of scope.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() { Reset(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    bool IsValid() const { return handle != 0; }
    RegHandle Get() const { return handle; }
    // For out-parameters; closes what it held first.
    RegHandle* Put() {
        Reset();
        return &handle;
    }
    void Reset() {
        if (handle) RegCloseKey(handle);
        handle = 0;
    }

private:
    RegHandle handle = 0;
};

}  // namespace plat
