#include "app_win32/dll_search.h"

#include <windows.h>

#include <string>

namespace {

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x00000800;
#endif

// Before the constructors of the program's own objects.
__attribute__((constructor(101))) void RestrictDllSearchFirst() { RestrictDllSearch(); }

}  // namespace

void RestrictDllSearch() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto setDefault = kernel ? reinterpret_cast<SetDefaultDllDirectoriesFn>(
                                   reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))
                             : nullptr;
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryA("");
    char system[MAX_PATH];
    UINT length = GetSystemDirectoryA(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    // The system's own copy, by its full path, before anything could ask
    // for it by name.
    LoadLibraryA((std::string(system, length) + "\\winmm.dll").c_str());
}
