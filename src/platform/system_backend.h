// What each backend implements for the registry, shell links and the
// firewall. The functions of registry.h, shell_link.h and firewall.h are
// these, behind the fault injector (system_seam.cpp).
#pragma once

#include "platform/firewall.h"
#include "platform/registry.h"
#include "platform/shell_link.h"

namespace plat::backend {

long RegOpenKey(RegHandle root, const std::string& path, DWORD access, RegHandle* key);
long RegCreateKey(RegHandle root, const std::string& path, DWORD access, RegHandle* key, DWORD* disposition);
long RegEnumKey(RegHandle key, DWORD index, char* name, DWORD* capacity);
long RegQueryValue(RegHandle key, const std::string& name, DWORD* type, void* data, DWORD* size);
long RegSetValue(RegHandle key, const std::string& name, DWORD type, const void* data, DWORD size);
long RegDeleteKey(RegHandle root, const std::string& path);
long RegCloseKey(RegHandle key);

HRESULT InitializeCom();
HRESULT CreateShellLink(ShellLink** link);
HRESULT SetLinkPath(ShellLink* link, const std::string& target);
HRESULT SetLinkDescription(ShellLink* link, const std::string& description);
HRESULT SetLinkArguments(ShellLink* link, const std::string& arguments);
HRESULT QueryLinkFile(ShellLink* link, LinkFile** file);
HRESULT SaveLinkFile(LinkFile* file, const std::u16string& path);
void Release(ShellLink* link);
void Release(LinkFile* file);
int WidenAnsi(const std::string& text, char16_t* buffer, int capacity);

HRESULT InitializeComApartment();
HRESULT CreateFirewallManager(FwManager** manager);
HRESULT GetLocalPolicy(FwManager* manager, FwPolicy** policy);
HRESULT GetCurrentProfile(FwPolicy* policy, FwProfile** profile);
HRESULT GetAuthorizedApplications(FwProfile* profile, FwApplications** applications);
HRESULT FindAuthorizedApplication(FwApplications* applications, const std::wstring& imagePath,
                                  FwApplication** application);
HRESULT GetApplicationEnabled(FwApplication* application, bool* enabled);
HRESULT CreateAuthorizedApplication(FwApplication** application);
HRESULT SetApplicationImagePath(FwApplication* application, const std::wstring& imagePath);
HRESULT SetApplicationName(FwApplication* application, const std::wstring& name);
HRESULT SetApplicationEnabled(FwApplication* application, bool enabled);
HRESULT AddAuthorizedApplication(FwApplications* applications, FwApplication* application);
void Release(FwManager* object);
void Release(FwPolicy* object);
void Release(FwProfile* object);
void Release(FwApplications* object);
void Release(FwApplication* object);

}  // namespace plat::backend
