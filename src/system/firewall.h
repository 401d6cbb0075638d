// Authorisation of the installation's executables in the firewall's list of
// authorised applications. SetUpFirewall is a member of the application object.
#pragma once

#include <string>

#include "platform/firewall.h"

// Adds the application to the profile's list unless it is there and enabled;
// logs the outcome on the line its announcement began.
void RegisterFirewallApplication(plat::FwProfile* profile, const std::wstring& imagePath, const std::wstring& name);
// True when the list holds an enabled entry for the image path (its name is not compared).
bool IsApplicationAuthorised(const std::wstring& imagePath, plat::FwProfile* profile);
// True when an enabled entry with this path and name was added.
bool AuthoriseApplication(const std::wstring& imagePath, const std::wstring& name, plat::FwProfile* profile);
// The narrow text as the C locale's mbstowcs widens it: each byte becomes the
// wide character of the same value.
std::wstring WidenText(const std::string& text);
