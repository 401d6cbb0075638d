// lnk_reader <link file>: loads the link with IShellLinkA and prints its
// target, description and arguments, one "name: value" line each.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: lnk_reader <link file>\n");
        return 2;
    }
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link));
    if (FAILED(hr)) {
        std::printf("error: CoCreateInstance 0x%08lx\n", static_cast<unsigned long>(hr));
        return 1;
    }
    IPersistFile* file = nullptr;
    hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    wchar_t path[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, path, MAX_PATH);
    if (SUCCEEDED(hr)) hr = file->Load(path, STGM_READ);
    if (FAILED(hr)) {
        std::printf("error: Load 0x%08lx\n", static_cast<unsigned long>(hr));
        return 1;
    }
    char text[1024];
    link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
    std::printf("path: %s\n", text);
    link->GetDescription(text, sizeof text);
    std::printf("description: %s\n", text);
    link->GetArguments(text, sizeof text);
    std::printf("arguments: %s\n", text);
    file->Release();
    link->Release();
    return 0;
}
