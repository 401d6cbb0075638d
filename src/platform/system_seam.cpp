// The front of the registry, shell-link and firewall services: each call asks
// the fault injector, then the backend. An injected code below 0x80000000 is
// a Windows error; for the COM calls it becomes HRESULT_FROM_WIN32 of it.
#include "platform/fault.h"
#include "platform/backend.h"
#include "platform/system_backend.h"

namespace plat {
namespace {

// The HRESULT an injected fault stands for, or 0 to go ahead.
HRESULT InjectedHresult(const char* call, const std::string& path = std::string()) {
    DWORD code = fault::Check(call, path);
    if (code == 0) return 0;
    return code >= 0x80000000u ? static_cast<HRESULT>(code) : HresultFromWin32(code);
}

std::string NarrowPath(const std::u16string& path) {
    std::string out;
    for (char16_t unit : path) {
        if (unit == 0) break;
        out += unit < 0x100 ? static_cast<char>(unit) : '?';
    }
    return out;
}

}  // namespace

// ---- Registry ----

long RegOpenKey(RegHandle root, const std::string& path, DWORD access, RegHandle* key) {
    *key = 0;
    if (DWORD code = fault::Check("RegOpenKeyExA", path)) return static_cast<long>(code);
    return backend::RegOpenKey(root, path, access, key);
}

long RegCreateKey(RegHandle root, const std::string& path, DWORD access, RegHandle* key, DWORD* disposition) {
    *key = 0;
    if (DWORD code = fault::Check("RegCreateKeyExA", path)) return static_cast<long>(code);
    return backend::RegCreateKey(root, path, access, key, disposition);
}

long RegEnumKey(RegHandle key, DWORD index, char* name, DWORD* capacity) {
    if (DWORD code = fault::Check("RegEnumKeyExA", std::to_string(index))) return static_cast<long>(code);
    return backend::RegEnumKey(key, index, name, capacity);
}

long RegQueryValue(RegHandle key, const std::string& name, DWORD* type, void* data, DWORD* size) {
    if (DWORD code = fault::Check("RegQueryValueExA", name)) return static_cast<long>(code);
    return backend::RegQueryValue(key, name, type, data, size);
}

long RegSetValue(RegHandle key, const std::string& name, DWORD type, const void* data, DWORD size) {
    if (DWORD code = fault::Check("RegSetValueExA", name)) return static_cast<long>(code);
    return backend::RegSetValue(key, name, type, data, size);
}

long RegDeleteKey(RegHandle root, const std::string& path) {
    if (DWORD code = fault::Check("RegDeleteKeyA", path)) return static_cast<long>(code);
    return backend::RegDeleteKey(root, path);
}

long RegCloseKey(RegHandle key) { return backend::RegCloseKey(key); }

// ---- Shell links ----

HRESULT InitializeCom() {
    if (HRESULT hr = InjectedHresult("CoInitialize")) return hr;
    return backend::InitializeCom();
}

HRESULT CreateShellLink(ShellLink** link) {
    *link = nullptr;
    if (HRESULT hr = InjectedHresult("CoCreateInstance", "ShellLink")) return hr;
    return backend::CreateShellLink(link);
}

HRESULT SetLinkPath(ShellLink* link, const std::string& target) {
    if (HRESULT hr = InjectedHresult("IShellLinkA::SetPath", target)) return hr;
    return backend::SetLinkPath(link, target);
}

HRESULT SetLinkDescription(ShellLink* link, const std::string& description) {
    if (HRESULT hr = InjectedHresult("IShellLinkA::SetDescription", description)) return hr;
    return backend::SetLinkDescription(link, description);
}

HRESULT SetLinkArguments(ShellLink* link, const std::string& arguments) {
    if (HRESULT hr = InjectedHresult("IShellLinkA::SetArguments", arguments)) return hr;
    return backend::SetLinkArguments(link, arguments);
}

HRESULT QueryLinkFile(ShellLink* link, LinkFile** file) {
    *file = nullptr;
    if (HRESULT hr = InjectedHresult("QueryInterface", "IPersistFile")) return hr;
    return backend::QueryLinkFile(link, file);
}

HRESULT SaveLinkFile(LinkFile* file, const std::u16string& path) {
    if (HRESULT hr = InjectedHresult("IPersistFile::Save", NarrowPath(path))) return hr;
    return backend::SaveLinkFile(file, path);
}

void Release(ShellLink* link) { backend::Release(link); }
void Release(LinkFile* file) { backend::Release(file); }

int WidenAnsi(const std::string& text, char16_t* buffer, int capacity) {
    if (DWORD code = fault::Check("MultiByteToWideChar", text)) {
        backend::SetLastError(code);
        return 0;
    }
    return backend::WidenAnsi(text, buffer, capacity);
}

// ---- Firewall ----

HRESULT InitializeComApartment() {
    if (HRESULT hr = InjectedHresult("CoInitializeEx")) return hr;
    return backend::InitializeComApartment();
}

HRESULT CreateFirewallManager(FwManager** manager) {
    *manager = nullptr;
    if (HRESULT hr = InjectedHresult("CoCreateInstance", "NetFwMgr")) return hr;
    return backend::CreateFirewallManager(manager);
}

HRESULT GetLocalPolicy(FwManager* manager, FwPolicy** policy) {
    *policy = nullptr;
    if (HRESULT hr = InjectedHresult("INetFwMgr::get_LocalPolicy")) return hr;
    return backend::GetLocalPolicy(manager, policy);
}

HRESULT GetCurrentProfile(FwPolicy* policy, FwProfile** profile) {
    *profile = nullptr;
    if (HRESULT hr = InjectedHresult("INetFwPolicy::get_CurrentProfile")) return hr;
    return backend::GetCurrentProfile(policy, profile);
}

HRESULT GetAuthorizedApplications(FwProfile* profile, FwApplications** applications) {
    *applications = nullptr;
    if (HRESULT hr = InjectedHresult("INetFwProfile::get_AuthorizedApplications")) return hr;
    return backend::GetAuthorizedApplications(profile, applications);
}

HRESULT FindAuthorizedApplication(FwApplications* applications, const std::wstring& imagePath,
                                  FwApplication** application) {
    *application = nullptr;
    std::string narrow(imagePath.begin(), imagePath.end());
    if (HRESULT hr = InjectedHresult("INetFwAuthorizedApplications::Item", narrow)) return hr;
    return backend::FindAuthorizedApplication(applications, imagePath, application);
}

HRESULT GetApplicationEnabled(FwApplication* application, bool* enabled) {
    *enabled = false;
    if (HRESULT hr = InjectedHresult("INetFwAuthorizedApplication::get_Enabled")) return hr;
    return backend::GetApplicationEnabled(application, enabled);
}

HRESULT CreateAuthorizedApplication(FwApplication** application) {
    *application = nullptr;
    if (HRESULT hr = InjectedHresult("CoCreateInstance", "NetFwAuthorizedApplication")) return hr;
    return backend::CreateAuthorizedApplication(application);
}

HRESULT SetApplicationImagePath(FwApplication* application, const std::wstring& imagePath) {
    return backend::SetApplicationImagePath(application, imagePath);
}

HRESULT SetApplicationName(FwApplication* application, const std::wstring& name) {
    return backend::SetApplicationName(application, name);
}

HRESULT SetApplicationEnabled(FwApplication* application, bool enabled) {
    return backend::SetApplicationEnabled(application, enabled);
}

HRESULT AddAuthorizedApplication(FwApplications* applications, FwApplication* application) {
    if (HRESULT hr = InjectedHresult("INetFwAuthorizedApplications::Add")) return hr;
    return backend::AddAuthorizedApplication(applications, application);
}

void Release(FwManager* object) { backend::Release(object); }
void Release(FwPolicy* object) { backend::Release(object); }
void Release(FwProfile* object) { backend::Release(object); }
void Release(FwApplications* object) { backend::Release(object); }
void Release(FwApplication* object) { backend::Release(object); }

}  // namespace plat
