// The Start-menu and desktop shortcuts of the updated installation.
#include "system/shortcuts.h"

#include "core/installer_state.h"
#include "core/log.h"
#include "core/owned_folders.h"
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

// False, with one error line, when the folder the shortcuts go into is unknown.
bool FolderKnown(const std::string& folder, const char* what, const char* shortcuts) {
    if (!folder.empty()) return true;
    LogPrintf("Error: the %s folder is unknown; no %s shortcuts are created\n", what, shortcuts);
    return false;
}

// The link targets and arguments name folders of the installation; a link
// built on an unknown folder would point below the drive's root.
bool TargetKnown(const std::string& folder, const std::string& link, const char* what) {
    if (!folder.empty()) return true;
    LogPrintf("Error: the %s folder is unknown; %s is not created\n", what, PrintableText(link).c_str());
    return false;
}

bool SaveFailed(plat::HRESULT hr) {
    LogPrintf("Error: could not save link: 0x%08lx\n", HresultBits(hr));
    return false;
}

// CreateDirectoryA, silent as before unless the guard refuses the folder.
void MakeShortcutFolder(const CPatchwellApp& state, const std::string& folder) {
    std::string refusal = RefusalReason(state, folder, OwnedUse::kCreateFolder);
    if (!refusal.empty()) {
        LogPrintf("Error: refused to create folder %s: %s\n", PrintableText(folder).c_str(), refusal.c_str());
        return;
    }
    plat::MakeFolder(folder);
}

}  // namespace

bool CreateShortcut(std::string linkPath, std::string target, std::string description, std::string arguments) {
    return CreateShortcutFor(theApp, linkPath, target, description, arguments);
}

bool CreateShortcutFor(const CPatchwellApp& state, const std::string& linkPath, const std::string& target,
                       const std::string& description, const std::string& arguments) {
    plat::InitializeCom();
    LogPrintf("Creating shortcut: %s -> %s (%s)...", PrintableText(linkPath).c_str(), PrintableText(target).c_str(),
              description.c_str());
    std::string refusal = RefusalReason(state, linkPath, OwnedUse::kWrite);
    if (!refusal.empty()) {
        LogText("Refused: " + refusal + "\n");
        return false;
    }
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
    if (createStartMenuShortcuts && FolderKnown(startMenuFolder, "start menu", "Start-menu")) {
        LogPrintf("  Creating start menu folder: %s\n", PrintableText(startMenuFolder).c_str());
        MakeShortcutFolder(*this, startMenuFolder);
        struct Row {
            std::string link, target, description, arguments;
            const std::string* folder;
            const char* folderName;
        } rows[] = {
            {startMenuFolder + "/AerovinRC.lnk", installFolder + "/AerovinRC.exe", "Launch Aerovin R/C", "",
             &installFolder, "installation"},
            {startMenuFolder + "/Aerovin Builder.lnk", builderFolder + "/AerovinBuilder.exe", "Launch Aerovin Builder",
             "", &builderFolder, "builder"},
            {startMenuFolder + "/Uninstall.lnk", "\"" + appDataFolder + "/Uninstall.exe\"", "Uninstall Aerovin R/C",
             "\"" + installFolder + "\"", &appDataFolder, "application data"},
        };
        for (const Row& row : rows) {
            LogPrintf("  Creating shortcut: %s\n", PrintableText(row.link).c_str());
            if (TargetKnown(*row.folder, row.link, row.folderName))
                CreateShortcutFor(*this, row.link, row.target, row.description, row.arguments);
        }
        MakeShortcutFolder(*this, startMenuFolder + "/User Guide");
        for (const UserGuide& guide : kUserGuides) {
            std::string link = startMenuFolder + "/User Guide/" + guide.linkName + ".lnk";
            LogPrintf("  Creating shortcut: %s\n", PrintableText(link).c_str());
            if (TargetKnown(installFolder, link, "installation"))
                CreateShortcutFor(*this, link, installFolder + "/resources/manual/aerovin_usermanual_v3_" + guide.code + ".pdf",
                               guide.description, "");
        }
    }
    if (createDesktopShortcuts && FolderKnown(desktopFolder, "desktop", "desktop")) {
        std::string links[] = {desktopFolder + "/AerovinRC.lnk", desktopFolder + "/Aerovin Builder.lnk"};
        LogPrintf("  Creating desktop shortcut: %s\n", PrintableText(links[0]).c_str());
        if (TargetKnown(installFolder, links[0], "installation"))
            CreateShortcutFor(*this, links[0], installFolder + "/AerovinRC.exe", "Launch Aerovin R/C", "");
        LogPrintf("  Creating desktop shortcut: %s\n", PrintableText(links[1]).c_str());
        if (TargetKnown(builderFolder, links[1], "builder"))
            CreateShortcutFor(*this, links[1], builderFolder + "/AerovinBuilder.exe", "Launch Aerovin Builder", "");
    }
    WriteUninstallEntry(*this);
}
