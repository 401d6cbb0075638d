// The real ANSI registry functions.
#include <windows.h>

#include "platform/system_backend.h"

namespace plat::backend {
namespace {

HKEY KeyOf(RegHandle handle) {
    switch (handle) {
        case kHkeyClassesRoot: return HKEY_CLASSES_ROOT;
        case kHkeyCurrentUser: return HKEY_CURRENT_USER;
        case kHkeyLocalMachine: return HKEY_LOCAL_MACHINE;
        default: return reinterpret_cast<HKEY>(handle);
    }
}

RegHandle HandleOf(HKEY key) { return reinterpret_cast<RegHandle>(key); }

}  // namespace

long RegOpenKey(RegHandle root, const std::string& path, DWORD access, RegHandle* key) {
    HKEY opened = nullptr;
    LONG result = ::RegOpenKeyExA(KeyOf(root), path.c_str(), 0, access, &opened);
    *key = result == ERROR_SUCCESS ? HandleOf(opened) : 0;
    return result;
}

long RegCreateKey(RegHandle root, const std::string& path, DWORD access, RegHandle* key, DWORD* disposition) {
    HKEY created = nullptr;
    ::DWORD how = 0;
    LONG result = ::RegCreateKeyExA(KeyOf(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                    &created, &how);
    *key = result == ERROR_SUCCESS ? HandleOf(created) : 0;
    if (disposition) *disposition = how;
    return result;
}

long RegEnumKey(RegHandle key, DWORD index, char* name, DWORD* capacity) {
    ::DWORD length = *capacity;
    LONG result = ::RegEnumKeyExA(KeyOf(key), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    *capacity = length;
    return result;
}

long RegQueryValue(RegHandle key, const std::string& name, DWORD* type, void* data, DWORD* size) {
    ::DWORD kind = 0;
    ::DWORD length = size ? *size : 0;
    LONG result = ::RegQueryValueExA(KeyOf(key), name.c_str(), nullptr, type ? &kind : nullptr,
                                     static_cast<BYTE*>(data), size ? &length : nullptr);
    if (type) *type = kind;
    if (size) *size = length;
    return result;
}

long RegSetValue(RegHandle key, const std::string& name, DWORD type, const void* data, DWORD size) {
    return ::RegSetValueExA(KeyOf(key), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

long RegDeleteKey(RegHandle root, const std::string& path) { return ::RegDeleteKeyA(KeyOf(root), path.c_str()); }

long RegCloseKey(RegHandle key) {
    if (key == kHkeyClassesRoot || key == kHkeyCurrentUser || key == kHkeyLocalMachine) return 0;
    return ::RegCloseKey(KeyOf(key));
}

}  // namespace plat::backend
