#include "system/firewall.h"

#include <cstdint>

#include "core/installer_state.h"
#include "core/log.h"

namespace {

// HRESULTs are 32 bits; printed through unsigned long they keep eight digits
// where long is wider.
unsigned long HresultBits(plat::HRESULT hr) { return static_cast<unsigned long>(static_cast<std::uint32_t>(hr)); }

// The wide path for the log. Every character came from one byte (WidenText),
// so it goes back byte for byte, whatever locale the runtime's %S would use.
std::string NarrowForLog(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += static_cast<unsigned>(c) < 0x100 ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace

std::wstring WidenText(const std::string& text) {
    // The program never sets a locale: in the "C" locale of the Windows
    // runtime mbstowcs maps each byte to the character of the same value.
    // Done here directly, since other runtimes' "C" locale refuses bytes
    // above 0x7F.
    std::wstring wide(text.size(), L'\0');
    std::size_t count = 0;
    for (unsigned char c : text) {
        if (c == 0) break;
        wide[count++] = static_cast<wchar_t>(c);
    }
    wide.resize(count);
    return wide;
}

namespace {

// The profile's authorised applications; false, and logged, when they cannot be had.
bool GetApplications(plat::FwProfile* profile, plat::ComHolder<plat::FwApplications>& applications) {
    plat::HRESULT hr = plat::GetAuthorizedApplications(profile, applications.Put());
    if (hr >= 0) return true;
    LogPrintf("Error: Could not get authorised apps: 0x%08lx\n", HresultBits(hr));
    return false;
}

}  // namespace

bool IsApplicationAuthorised(const std::wstring& imagePath, plat::FwProfile* profile) {
    if (!profile) return false;
    plat::ComHolder<plat::FwApplications> applications;
    if (!GetApplications(profile, applications)) return false;
    plat::ComHolder<plat::FwApplication> entry;
    if (plat::FindAuthorizedApplication(applications.Get(), imagePath, entry.Put()) < 0) return false;
    bool enabled = false;
    plat::HRESULT hr = plat::GetApplicationEnabled(entry.Get(), &enabled);
    return hr >= 0 && enabled;
}

bool AuthoriseApplication(const std::wstring& imagePath, const std::wstring& name, plat::FwProfile* profile) {
    if (!profile) return false;
    plat::ComHolder<plat::FwApplications> applications;
    if (!GetApplications(profile, applications)) return false;
    plat::ComHolder<plat::FwApplication> entry;
    plat::HRESULT hr = plat::CreateAuthorizedApplication(entry.Put());
    if (hr < 0) {
        LogPrintf("Error: Could not get authorised app: 0x%08lx\n", HresultBits(hr));
        return false;
    }
    plat::SetApplicationImagePath(entry.Get(), imagePath);
    plat::SetApplicationName(entry.Get(), name);
    plat::SetApplicationEnabled(entry.Get(), true);
    hr = plat::AddAuthorizedApplication(applications.Get(), entry.Get());
    if (hr < 0) {
        LogPrintf("Error: Could not add app: 0x%08lx\n", HresultBits(hr));
        return false;
    }
    return true;
}

void RegisterFirewallApplication(plat::FwProfile* profile, const std::wstring& imagePath, const std::wstring& name) {
    if (!profile) return;
    LogPrintf("  Registering application: %s...", NarrowForLog(imagePath).c_str());
    if (IsApplicationAuthorised(imagePath, profile)) {
        LogPrintf("Application is already registered\n");
        return;
    }
    if (AuthoriseApplication(imagePath, name, profile)) LogPrintf("Success\n");
}

void CPatchwellApp::SetUpFirewall() {
    LogPrintf("Setting up Windows Firewall:\n");
    plat::InitializeComApartment();
    plat::ComHolder<plat::FwManager> manager;
    plat::HRESULT hr = plat::CreateFirewallManager(manager.Put());
    if (hr < 0) {
        LogPrintf("Error: Could not create Windows Firewall interface: 0x%08lx\n", HresultBits(hr));
        return;
    }
    plat::ComHolder<plat::FwPolicy> policy;
    hr = plat::GetLocalPolicy(manager.Get(), policy.Put());
    if (hr < 0) {
        LogPrintf("Error: Could not get Windows Firewall policy: 0x%08lx\n", HresultBits(hr));
        return;
    }
    plat::ComHolder<plat::FwProfile> profile;
    hr = plat::GetCurrentProfile(policy.Get(), profile.Put());
    if (hr < 0) {
        LogPrintf("Error: Could not get Windows Firewall profile: 0x%08lx\n", HresultBits(hr));
        return;
    }
    if (installFolder.empty()) {
        // Without it the paths would name programs at the root of a drive.
        LogPrintf("Error: the installation folder is unknown; no application is registered\n");
    } else {
        // The names hold U+00AE, the registered sign.
        RegisterFirewallApplication(profile.Get(), WidenText(installFolder + "\\AerovinRC.exe"),
                                    L"Aerovin R/C\u00AE Launcher");
        RegisterFirewallApplication(profile.Get(), WidenText(installFolder + "\\Simulator.exe"),
                                    L"Aerovin R/C\u00AE");
    }
    profile.Reset();
    policy.Reset();
    manager.Reset();
    LogPrintf("Success\n");
}
