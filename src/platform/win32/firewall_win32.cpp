// The Windows Firewall's COM interfaces.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <netfw.h>

#include "platform/system_backend.h"

namespace plat {

struct FwManager {
    INetFwMgr* object;
};
struct FwPolicy {
    INetFwPolicy* object;
};
struct FwProfile {
    INetFwProfile* object;
};
struct FwApplications {
    INetFwAuthorizedApplications* object;
};
struct FwApplication {
    INetFwAuthorizedApplication* object;
};

}  // namespace plat

namespace plat::backend {
namespace {

// The published identifiers, spelled out so that no import library is needed.
const CLSID kClsidNetFwMgr = {0x304CE942, 0x6E39, 0x40D8, {0x94, 0x3A, 0xB9, 0x13, 0xC4, 0x0C, 0x9C, 0xD4}};
const IID kIidNetFwMgr = {0xF7898AF5, 0xCAC4, 0x4632, {0xA2, 0xEC, 0xDA, 0x06, 0xE5, 0x11, 0x1A, 0xF2}};
const CLSID kClsidNetFwAuthorizedApplication = {
    0xEC9846B3, 0x2762, 0x4A6B, {0xA2, 0x14, 0x6A, 0xCB, 0x60, 0x34, 0x62, 0xD2}};
const IID kIidNetFwAuthorizedApplication = {
    0xB5E64FFA, 0xC2C5, 0x444E, {0xA3, 0x01, 0xFB, 0x5E, 0x00, 0x01, 0x80, 0x50}};

// A BSTR made from a wide string, freed when it goes out of scope.
class Bstr {
public:
    explicit Bstr(const std::wstring& text) : text(::SysAllocString(text.c_str())) {}
    ~Bstr() { ::SysFreeString(text); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return text; }

private:
    BSTR text;
};

template <class Holder, class Interface>
HRESULT Wrap(::HRESULT hr, Interface* object, Holder** out) {
    if (SUCCEEDED(hr)) *out = new Holder{object};
    return hr;
}

template <class Holder>
void Free(Holder* holder) {
    if (!holder) return;
    holder->object->Release();
    delete holder;
}

}  // namespace

HRESULT InitializeComApartment() { return ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE); }

HRESULT CreateFirewallManager(FwManager** manager) {
    INetFwMgr* object = nullptr;
    ::HRESULT hr = ::CoCreateInstance(kClsidNetFwMgr, nullptr, CLSCTX_INPROC_SERVER, kIidNetFwMgr,
                                      reinterpret_cast<void**>(&object));
    return Wrap(hr, object, manager);
}

HRESULT GetLocalPolicy(FwManager* manager, FwPolicy** policy) {
    INetFwPolicy* object = nullptr;
    return Wrap(manager->object->get_LocalPolicy(&object), object, policy);
}

HRESULT GetCurrentProfile(FwPolicy* policy, FwProfile** profile) {
    INetFwProfile* object = nullptr;
    return Wrap(policy->object->get_CurrentProfile(&object), object, profile);
}

HRESULT GetAuthorizedApplications(FwProfile* profile, FwApplications** applications) {
    INetFwAuthorizedApplications* object = nullptr;
    return Wrap(profile->object->get_AuthorizedApplications(&object), object, applications);
}

HRESULT FindAuthorizedApplication(FwApplications* applications, const std::wstring& imagePath,
                                  FwApplication** application) {
    Bstr path(imagePath);
    INetFwAuthorizedApplication* object = nullptr;
    return Wrap(applications->object->Item(path.Get(), &object), object, application);
}

HRESULT GetApplicationEnabled(FwApplication* application, bool* enabled) {
    VARIANT_BOOL value = VARIANT_FALSE;
    ::HRESULT hr = application->object->get_Enabled(&value);
    *enabled = SUCCEEDED(hr) && value != VARIANT_FALSE;
    return hr;
}

HRESULT CreateAuthorizedApplication(FwApplication** application) {
    INetFwAuthorizedApplication* object = nullptr;
    ::HRESULT hr = ::CoCreateInstance(kClsidNetFwAuthorizedApplication, nullptr, CLSCTX_INPROC_SERVER,
                                      kIidNetFwAuthorizedApplication, reinterpret_cast<void**>(&object));
    return Wrap(hr, object, application);
}

HRESULT SetApplicationImagePath(FwApplication* application, const std::wstring& imagePath) {
    Bstr path(imagePath);
    return application->object->put_ProcessImageFileName(path.Get());
}

HRESULT SetApplicationName(FwApplication* application, const std::wstring& name) {
    Bstr text(name);
    return application->object->put_Name(text.Get());
}

HRESULT SetApplicationEnabled(FwApplication* application, bool enabled) {
    return application->object->put_Enabled(enabled ? VARIANT_TRUE : VARIANT_FALSE);
}

HRESULT AddAuthorizedApplication(FwApplications* applications, FwApplication* application) {
    return applications->object->Add(application->object);
}

void Release(FwManager* object) { Free(object); }
void Release(FwPolicy* object) { Free(object); }
void Release(FwProfile* object) { Free(object); }
void Release(FwApplications* object) { Free(object); }
void Release(FwApplication* object) { Free(object); }

}  // namespace plat::backend
