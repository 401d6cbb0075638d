// Shell links (".lnk" files), as the shell's IShellLinkA and IPersistFile
// interfaces write them. Each call mirrors one interface call and returns its
// HRESULT. The POSIX backend writes the file itself; see
// posix/shell_link_posix.cpp.
#pragma once

#include <string>

#include "platform/platform.h"

namespace plat {

constexpr HRESULT kSOk = 0;
constexpr HRESULT kSFalse = 1;

// HRESULT_FROM_WIN32.
constexpr HRESULT HresultFromWin32(DWORD error) {
    return error == 0 ? 0 : static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}

// The shell link object (IShellLinkA) and its persist-file interface.
struct ShellLink;
struct LinkFile;

// CoInitialize(no reserved pointer).
HRESULT InitializeCom();
// CoCreateInstance(CLSID_ShellLink, no outer, CLSCTX_INPROC_SERVER, IID_IShellLinkA).
HRESULT CreateShellLink(ShellLink** link);
// IShellLinkA::SetPath, SetDescription, SetArguments.
HRESULT SetLinkPath(ShellLink* link, const std::string& target);
HRESULT SetLinkDescription(ShellLink* link, const std::string& description);
HRESULT SetLinkArguments(ShellLink* link, const std::string& arguments);
// QueryInterface(IID_IPersistFile).
HRESULT QueryLinkFile(ShellLink* link, LinkFile** file);
// IPersistFile::Save(path, remember TRUE); path holds UTF-16 units.
HRESULT SaveLinkFile(LinkFile* file, const std::u16string& path);
// Release of each interface.
void Release(ShellLink* link);
void Release(LinkFile* file);

// MultiByteToWideChar(CP_ACP, 0, text with its terminator, buffer, capacity):
// the number of units written, terminator included, or 0 when the buffer is
// too small (LastError() 122) or the call fails.
int WidenAnsi(const std::string& text, char16_t* buffer, int capacity);

// Releases the interface it holds when it goes out of scope. Holders declared
// in the order the interfaces were obtained release them in the opposite order.
template <class T>
class ComHolder {
public:
    ComHolder() = default;
    ~ComHolder() { Reset(); }
    ComHolder(const ComHolder&) = delete;
    ComHolder& operator=(const ComHolder&) = delete;
    T* Get() const { return object; }
    T** Put() {
        Reset();
        return &object;
    }
    void Reset() {
        if (object) Release(object);
        object = nullptr;
    }

private:
    T* object = nullptr;
};

}  // namespace plat
