// The Start-menu and desktop shortcuts of the updated installation.
#include "system/shortcuts.h"

#include "core/installer_state.h"
#include "core/log.h"
#include "core/progress.h"
#include "platform/platform.h"
#include "platform/shell_link.h"
#include "system/uninstall_registry.h"

namespace {

struct UserGuide {
    const char* code;
    const char* linkName;
    const char* description;
};

// Spanish is named after the country in both places, French only in the link name.
const UserGuide kUserGuides[] = {
    {"CZ", "Czech", "Czech user guide"},         {"DE", "German", "German user guide"},
    {"ES", "Spain", "Spain user guide"},         {"FR", "France", "French user guide"},
    {"GB", "English", "English user guide"},     {"IT", "Italian", "Italian user guide"},
    {"JP", "Japanese", "Japanese user guide"},   {"PT", "Portuguese", "Portuguese user guide"},
};

// HRESULTs are 32 bits; printed through unsigned long they keep eight digits
// where long is wider.
unsigned long HresultBits(plat::HRESULT hr) { return static_cast<unsigned long>(static_cast<std::uint32_t>(hr)); }

bool SaveFailed(plat::HRESULT hr) {
    LogPrintf("Error: could not save link: 0x%08lx\n", HresultBits(hr));
    return false;
}

}  // namespace

bool CreateShortcut(std::string linkPath, std::string target, std::string description, std::string arguments) {
    plat::InitializeCom();
    LogPrintf("Creating shortcut: %s -> %s (%s)...", linkPath.c_str(), target.c_str(), description.c_str());
    plat::ComHolder<plat::ShellLink> link;
    if (plat::CreateShellLink(link.Put()) < 0) {
        LogPrintf("Error: could not create instance\n");
        return false;
    }
    plat::SetLinkPath(link.Get(), target);
    plat::SetLinkDescription(link.Get(), description);
    plat::SetLinkArguments(link.Get(), arguments);
    plat::ComHolder<plat::LinkFile> file;
    if (plat::QueryLinkFile(link.Get(), file.Put()) < 0) {
        LogPrintf("Error: could not QueryInterface\n");
        return false;
    }
    char16_t widePath[plat::kMaxPath];
    if (plat::WidenAnsi(linkPath, widePath, plat::kMaxPath) == 0)
        return SaveFailed(plat::HresultFromWin32(plat::LastError()));
    plat::HRESULT hr = plat::SaveLinkFile(file.Get(), widePath);
    if (hr < 0) return SaveFailed(hr);
    LogPrintf("Success\n");
    return true;
}

void CPatchwellApp::CreateShortcuts() {
    LogPrintf("Creating shortcuts:\n");
    ShowStatusText(statusText, "Creating shortcuts...");
    if (createStartMenuShortcuts) {
        LogPrintf("  Creating start menu folder: %s\n", startMenuFolder.c_str());
        plat::MakeFolder(startMenuFolder);
        struct Row {
            std::string link, target, description, arguments;
        } rows[] = {
            {startMenuFolder + "/AerovinRC.lnk", installFolder + "/AerovinRC.exe", "Launch Aerovin R/C", ""},
            {startMenuFolder + "/Aerovin Builder.lnk", builderFolder + "/AerovinBuilder.exe", "Launch Aerovin Builder",
             ""},
            {startMenuFolder + "/Uninstall.lnk", "\"" + appDataFolder + "/Uninstall.exe\"", "Uninstall Aerovin R/C",
             "\"" + installFolder + "\""},
        };
        for (const Row& row : rows) {
            LogPrintf("  Creating shortcut: %s\n", row.link.c_str());
            CreateShortcut(row.link, row.target, row.description, row.arguments);
        }
        plat::MakeFolder(startMenuFolder + "/User Guide");
        for (const UserGuide& guide : kUserGuides) {
            std::string link = startMenuFolder + "/User Guide/" + guide.linkName + ".lnk";
            LogPrintf("  Creating shortcut: %s\n", link.c_str());
            CreateShortcut(link, installFolder + "/resources/manual/aerovin_usermanual_v3_" + guide.code + ".pdf",
                           guide.description, "");
        }
    }
    if (createDesktopShortcuts) {
        std::string links[] = {desktopFolder + "/AerovinRC.lnk", desktopFolder + "/Aerovin Builder.lnk"};
        LogPrintf("  Creating desktop shortcut: %s\n", links[0].c_str());
        CreateShortcut(links[0], installFolder + "/AerovinRC.exe", "Launch Aerovin R/C", "");
        LogPrintf("  Creating desktop shortcut: %s\n", links[1].c_str());
        CreateShortcut(links[1], builderFolder + "/AerovinBuilder.exe", "Launch Aerovin Builder", "");
    }
    WriteUninstallEntry(*this);
}
