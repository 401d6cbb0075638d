#include "detect/version_rules.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "core/installer_state.h"
#include "core/log.h"
#include "detect/detect_page.h"
#include "platform/platform.h"

namespace {

// The first line of the version file holds at most this many characters,
// its line end included.
constexpr int kVersionLineLength = 31;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Reads a number as atoi does: leading white space, an optional sign, digits
// up to the first other character, 0 without digits. Out-of-range values
// saturate to INT_MIN or INT_MAX, as the Windows runtime's atoi answers them.
std::int32_t NumberOf(const std::string& token) {
    std::size_t i = 0;
    while (i < token.size() && IsBlank(token[i])) ++i;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
    long long value = 0;
    for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
        value = value * 10 + (token[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) break;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<std::int32_t>(value);
}

}  // namespace

VersionNumber ParseVersion(const std::string& text) {
    VersionNumber version{0, 0, 'a'};
    std::string token;
    int dots = 0;
    for (char c : text) {
        if (c != '.') {
            token += c;
            continue;
        }
        if (dots == 0) version.major = NumberOf(token);
        if (dots == 1) version.minor = NumberOf(token);
        token.clear();
        ++dots;
    }
    if (!token.empty()) version.letter = static_cast<signed char>(token[0]);
    return version;
}

std::string FormatVersion(const VersionNumber& version) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%c", version.major, version.minor, static_cast<char>(version.letter));
    return text;
}

int CompareVersions(const VersionNumber& a, const VersionNumber& b) {
    if (a.major != b.major) return a.major < b.major ? -1 : 1;
    if (a.minor != b.minor) return a.minor < b.minor ? -1 : 1;
    if (a.letter != b.letter) return a.letter < b.letter ? -1 : 1;
    return 0;
}

bool IsVersionAccepted(const VersionNumber& version) {
    return version >= ParseVersion(kMinimumVersion) && version <= ParseVersion(kMaximumVersion);
}

std::string BuilderFolderFor(const std::string& folder) {
    std::string parent = folder;
    while (!parent.empty() && (parent.back() == '\\' || parent.back() == '/')) parent.pop_back();
    while (!parent.empty() && parent.back() != '\\' && parent.back() != '/') parent.pop_back();
    return parent + "AerovinBuilder";
}

void RecordInstallation(const std::string& folder) {
    LogPrintf("Installation folder set to: %s\n", folder.c_str());
    theApp.installFolder = folder;
    theApp.builderFolder = BuilderFolderFor(folder);
    LogPrintf("Builder path set to: %s\n", theApp.builderFolder.c_str());
    if (detectPage) detectPage->location.SetWindowText(theApp.installFolder.c_str());

    theApp.installedVersion = ParseVersion(kDefaultVersion);
    plat::StreamHolder file(plat::OpenStream(theApp.installFolder + "\\AerovinRC.ver", "r"));
    if (file) {
        LogPrintf("Version file detected\n");
        // An empty file yields no line; the default version then stands, as
        // it does for a missing file.
        char line[kVersionLineLength + 1] = {};
        if (plat::GetLine(file.Get(), line, sizeof line)) theApp.installedVersion = ParseVersion(line);
        file.Close();
    }
    LogPrintf("  Version detected: %s\n", FormatVersion(theApp.installedVersion).c_str());
}
