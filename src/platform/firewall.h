// The Windows Firewall's list of authorised applications, through the
// interfaces Windows publishes (INetFwMgr, INetFwPolicy, INetFwProfile,
// INetFwAuthorizedApplications, INetFwAuthorizedApplication). Each call
// mirrors one interface call and returns its HRESULT. The POSIX backend keeps
// the list in the registry; see posix/firewall_posix.cpp.
#pragma once

#include <string>

#include "platform/shell_link.h"

namespace plat {

struct FwManager;
struct FwPolicy;
struct FwProfile;
struct FwApplications;
struct FwApplication;

// CoInitializeEx(no reserved pointer, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE).
HRESULT InitializeComApartment();
// CoCreateInstance(CLSID_NetFwMgr, ..., IID_INetFwMgr).
HRESULT CreateFirewallManager(FwManager** manager);
// INetFwMgr::get_LocalPolicy.
HRESULT GetLocalPolicy(FwManager* manager, FwPolicy** policy);
// INetFwPolicy::get_CurrentProfile.
HRESULT GetCurrentProfile(FwPolicy* policy, FwProfile** profile);
// INetFwProfile::get_AuthorizedApplications.
HRESULT GetAuthorizedApplications(FwProfile* profile, FwApplications** applications);
// INetFwAuthorizedApplications::Item(image path): a failing HRESULT when the
// list holds no entry for the path.
HRESULT FindAuthorizedApplication(FwApplications* applications, const std::wstring& imagePath,
                                  FwApplication** application);
// INetFwAuthorizedApplication::get_Enabled.
HRESULT GetApplicationEnabled(FwApplication* application, bool* enabled);
// CoCreateInstance(CLSID_NetFwAuthorizedApplication, ..., IID_INetFwAuthorizedApplication).
HRESULT CreateAuthorizedApplication(FwApplication** application);
// put_ProcessImageFileName, put_Name, put_Enabled (texts passed as BSTRs).
HRESULT SetApplicationImagePath(FwApplication* application, const std::wstring& imagePath);
HRESULT SetApplicationName(FwApplication* application, const std::wstring& name);
HRESULT SetApplicationEnabled(FwApplication* application, bool enabled);
// INetFwAuthorizedApplications::Add.
HRESULT AddAuthorizedApplication(FwApplications* applications, FwApplication* application);

void Release(FwManager* object);
void Release(FwPolicy* object);
void Release(FwProfile* object);
void Release(FwApplications* object);
void Release(FwApplication* object);

}  // namespace plat
