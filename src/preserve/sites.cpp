#include "preserve/sites.h"

#include "core/file_ops.h"
#include "core/installer_state.h"
#include "core/log.h"
#include "preserve/durable_file.h"

namespace {

const char kOldSiteList[] = "/Settings/installedUpdates.vrx";
const char kInstalledList[] = "/resources/data/installed.dat";

const char* const kStockSites[] = {
    "aerovinRC_alderField.vrx",    "aerovinRC_brookFarm.vrx",       "aerovinRC_dockyard.vrx",
    "aerovinRC_elmHill.vrx",       "aerovinRC_fernCastle.vrx",      "aerovinRC_graniteCove.vrx",
    "aerovinRC_kestrelBridge.vrx", "aerovinRC_northRcClub_planes.vrx", "aerovinRC_lanternQuay.vrx",
};

// Exact match on purpose: other letter case or a leading space is not a stock site.
bool IsStockSite(const std::string& name) {
    for (const char* stock : kStockSites)
        if (name == stock) return true;
    return false;
}

}  // namespace

std::string ReadToken(plat::Stream* file) {
    std::string token;
    for (int c = plat::GetChar(file); c >= 0 && c != ';'; c = plat::GetChar(file)) {
        if (c == '\n') continue;
        token += static_cast<char>(c);
    }
    return token;
}

void SaveInstalledSites(CPatchwellApp& state) {
    SaveInstalledSitesFrom(state, PathIn(state.userDataFolder, kOldSiteList), nullptr);
}

bool SaveInstalledSitesFrom(CPatchwellApp& state, const std::string& path, std::string* asRead) {
    LogPrintf("Saving installed sites...");
    state.installedStockSites.clear();
    std::string bytes;
    if (!ReadRawFile(path, &bytes)) {
        LogPrintf("Error - could not open file: %s\n", path.empty() ? kOldSiteList : path.c_str());
        LogPrintf("Done\n");
        return false;
    }
    // Read as text: CR LF arrives as a line feed, which ReadToken drops.
    std::string text = TextModeView(bytes);
    std::string::size_type at = 0;
    auto next = [&] {
        std::string token;
        for (; at < text.size() && text[at] != ';'; ++at)
            if (text[at] != '\n') token += text[at];
        if (at < text.size()) ++at;  // the ";" is consumed
        return token;
    };
    // Records of three fields: the site's file name and two that are not used.
    // The first empty name ends the list, even when more records follow.
    for (std::string name = next(); !name.empty(); name = next()) {
        next();
        next();
        if (IsStockSite(name)) state.installedStockSites.push_back(name);
    }
    if (asRead) *asRead = std::move(bytes);
    LogPrintf("Done\n");
    return true;
}

void WriteInstalledList(CPatchwellApp& state) {
    if (state.installedStockSites.empty()) return;
    std::string path = PathIn(state.installFolder, kInstalledList);
    plat::StreamHolder file(path.empty() ? nullptr : OpenForWriting(path, "w"));
    if (!file) {
        LogPrintf("Error - could not open file: %s\n", path.empty() ? kInstalledList : path.c_str());
        return;
    }
    std::string lines;
    for (const std::string& name : state.installedStockSites)
        lines += name.substr(0, name.size() - 4) + ",1.0,\n";  // without ".vrx"
    bool written = plat::WriteStream(file.Get(), lines.data(), lines.size()) == lines.size();
    written &= file.Close() == 0;
    if (!written) LogPrintf("Error - could not write file: %s\n", path.c_str());
}
