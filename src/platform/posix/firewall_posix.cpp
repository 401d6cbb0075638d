// The firewall's authorised applications, kept as Windows XP SP2 kept them:
// one REG_SZ value per application under the standard profile's List key,
// named by the image path, holding "<image path>:<scope>:Enabled:<name>"
// ("Disabled" for an entry that is switched off). Lookup is by image path,
// without regard to letter case, as value names are.
#include "platform/posix/registry_store.h"
#include "platform/system_backend.h"

namespace plat {

struct FwManager {};
struct FwPolicy {};
struct FwProfile {};
struct FwApplications {};
struct FwApplication {
    std::u16string imagePath;
    std::u16string name;
    bool enabled = false;
};

}  // namespace plat

namespace plat::backend {

using namespace plat::posix;

namespace {

constexpr char kListKey[] =
    "System\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile\\"
    "AuthorizedApplications\\List";
constexpr HRESULT kEPointer = static_cast<HRESULT>(0x80004003u);

std::u16string Units(const std::wstring& text) {
    std::u16string units;
    for (wchar_t c : text) units += static_cast<char16_t>(c);
    return units;
}

bool SameText(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i] >= 'a' && a[i] <= 'z' ? a[i] - 0x20 : a[i];
        char16_t y = b[i] >= 'a' && b[i] <= 'z' ? b[i] - 0x20 : b[i];
        if (x != y) return false;
    }
    return true;
}

// Reads "<path>:<scope>:<Enabled|Disabled>:<name>" of the entry for path.
void ParseEntry(const std::u16string& path, const std::u16string& data, FwApplication* entry) {
    entry->imagePath = path;
    std::size_t at = data.size() >= path.size() && SameText(data.substr(0, path.size()), path)
                         ? path.size()
                         : data.find(u':', 2);
    if (at == std::u16string::npos || at >= data.size()) return;
    std::size_t scopeEnd = data.find(u':', at + 1);
    if (scopeEnd == std::u16string::npos) return;
    std::size_t statusEnd = data.find(u':', scopeEnd + 1);
    std::u16string status = data.substr(scopeEnd + 1, statusEnd == std::u16string::npos
                                                          ? std::u16string::npos
                                                          : statusEnd - scopeEnd - 1);
    entry->enabled = SameText(status, u"Enabled");
    if (statusEnd != std::u16string::npos) entry->name = data.substr(statusEnd + 1);
}

}  // namespace

HRESULT InitializeComApartment() { return kSOk; }

HRESULT CreateFirewallManager(FwManager** manager) {
    *manager = new FwManager;
    return kSOk;
}

HRESULT GetLocalPolicy(FwManager* manager, FwPolicy** policy) {
    if (!manager) return kEPointer;
    *policy = new FwPolicy;
    return kSOk;
}

HRESULT GetCurrentProfile(FwPolicy* policy, FwProfile** profile) {
    if (!policy) return kEPointer;
    *profile = new FwProfile;
    return kSOk;
}

HRESULT GetAuthorizedApplications(FwProfile* profile, FwApplications** applications) {
    if (!profile) return kEPointer;
    *applications = new FwApplications;
    return kSOk;
}

HRESULT FindAuthorizedApplication(FwApplications* applications, const std::wstring& imagePath,
                                  FwApplication** application) {
    if (!applications) return kEPointer;
    RegHandle list = 0;
    long result = RegOpenKey(kHkeyLocalMachine, kListKey, kKeyQueryValue, &list);
    std::u16string path = Units(imagePath);
    std::u16string data;
    if (result == 0) {
        result = QueryWideText(list, path, &data);
        RegCloseKey(list);
    }
    if (result != 0) return HresultFromWin32(static_cast<DWORD>(result));
    auto* entry = new FwApplication;
    ParseEntry(path, data, entry);
    *application = entry;
    return kSOk;
}

HRESULT GetApplicationEnabled(FwApplication* application, bool* enabled) {
    if (!application) return kEPointer;
    *enabled = application->enabled;
    return kSOk;
}

HRESULT CreateAuthorizedApplication(FwApplication** application) {
    *application = new FwApplication;
    return kSOk;
}

HRESULT SetApplicationImagePath(FwApplication* application, const std::wstring& imagePath) {
    if (!application) return kEPointer;
    application->imagePath = Units(imagePath);
    return kSOk;
}

HRESULT SetApplicationName(FwApplication* application, const std::wstring& name) {
    if (!application) return kEPointer;
    application->name = Units(name);
    return kSOk;
}

HRESULT SetApplicationEnabled(FwApplication* application, bool enabled) {
    if (!application) return kEPointer;
    application->enabled = enabled;
    return kSOk;
}

HRESULT AddAuthorizedApplication(FwApplications* applications, FwApplication* application) {
    if (!applications || !application) return kEPointer;
    if (application->imagePath.empty()) return static_cast<HRESULT>(0x80070057u);  // E_INVALIDARG
    RegHandle list = 0;
    long result = RegCreateKey(kHkeyLocalMachine, kListKey, kKeyAllAccess, &list, nullptr);
    if (result == 0) {
        std::u16string data = application->imagePath + u":*:" +
                              (application->enabled ? u"Enabled" : u"Disabled") + u":" + application->name;
        result = SetWideText(list, application->imagePath, data);
        RegCloseKey(list);
    }
    return HresultFromWin32(static_cast<DWORD>(result));
}

void Release(FwManager* object) { delete object; }
void Release(FwPolicy* object) { delete object; }
void Release(FwProfile* object) { delete object; }
void Release(FwApplications* object) { delete object; }
void Release(FwApplication* object) { delete object; }

}  // namespace plat::backend
