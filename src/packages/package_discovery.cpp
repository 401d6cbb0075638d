#include "packages/package_discovery.h"

void DiscoverPackages(afx::HWND, afx::UINT, afx::UINT_PTR, afx::DWORD) {}
std::string TrimPath(const std::string& path, bool, bool) { return path; }
