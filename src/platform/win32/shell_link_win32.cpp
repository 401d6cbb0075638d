// The shell's link object: IShellLinkA and its IPersistFile.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "platform/system_backend.h"

namespace plat {

struct ShellLink {
    IShellLinkA* object;
};

struct LinkFile {
    IPersistFile* object;
};

}  // namespace plat

namespace plat::backend {

HRESULT InitializeCom() { return ::CoInitialize(nullptr); }

HRESULT CreateShellLink(ShellLink** link) {
    IShellLinkA* object = nullptr;
    ::HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      reinterpret_cast<void**>(&object));
    if (SUCCEEDED(hr)) *link = new ShellLink{object};
    return hr;
}

HRESULT SetLinkPath(ShellLink* link, const std::string& target) { return link->object->SetPath(target.c_str()); }

HRESULT SetLinkDescription(ShellLink* link, const std::string& description) {
    return link->object->SetDescription(description.c_str());
}

HRESULT SetLinkArguments(ShellLink* link, const std::string& arguments) {
    return link->object->SetArguments(arguments.c_str());
}

HRESULT QueryLinkFile(ShellLink* link, LinkFile** file) {
    IPersistFile* object = nullptr;
    ::HRESULT hr = link->object->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&object));
    if (SUCCEEDED(hr)) *file = new LinkFile{object};
    return hr;
}

HRESULT SaveLinkFile(LinkFile* file, const std::u16string& path) {
    return file->object->Save(reinterpret_cast<LPCOLESTR>(path.c_str()), TRUE);
}

void Release(ShellLink* link) {
    if (!link) return;
    link->object->Release();
    delete link;
}

void Release(LinkFile* file) {
    if (!file) return;
    file->object->Release();
    delete file;
}

int WidenAnsi(const std::string& text, char16_t* buffer, int capacity) {
    return ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, reinterpret_cast<wchar_t*>(buffer), capacity);
}

}  // namespace plat::backend
