// The installed version: its text form, its ordering, the accepted range and
// the version file of an installation.
#pragma once

#include <string>

#include "core/version_number.h"

// The accepted range and the version assumed without a version file.
inline constexpr const char* kMinimumVersion = "0.0.a";
inline constexpr const char* kMaximumVersion = "5.0.r";
inline constexpr const char* kDefaultVersion = "1.0.a";

// Major and minor are the numbers before the first and second dots; the
// letter is the first character after the last dot. Never fails.
VersionNumber ParseVersion(const std::string& text);
// "%d.%d.%c".
std::string FormatVersion(const VersionNumber& version);
// Negative, zero or positive as a orders below, with or above b: major, then
// minor, then the letter, each signed.
int CompareVersions(const VersionNumber& a, const VersionNumber& b);
inline bool operator==(const VersionNumber& a, const VersionNumber& b) { return CompareVersions(a, b) == 0; }
inline bool operator<(const VersionNumber& a, const VersionNumber& b) { return CompareVersions(a, b) < 0; }
inline bool operator>(const VersionNumber& a, const VersionNumber& b) { return CompareVersions(a, b) > 0; }
inline bool operator<=(const VersionNumber& a, const VersionNumber& b) { return CompareVersions(a, b) <= 0; }
inline bool operator>=(const VersionNumber& a, const VersionNumber& b) { return CompareVersions(a, b) >= 0; }
// True from the minimum to the maximum version, both included.
bool IsVersionAccepted(const VersionNumber& version);
// The editor tool's folder beside the installation folder:
// C:\Program Files\AerovinRC gives C:\Program Files\AerovinBuilder.
std::string BuilderFolderFor(const std::string& folder);
// Stores the installation found (folder, editor-tool folder, version read from
// folder + "\AerovinRC.ver") in the installer state and shows the folder on
// the detection page.
void RecordInstallation(const std::string& folder);
