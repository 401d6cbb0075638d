// Getting the previous installation ready for the update packages.
#pragma once

class CPatchwellApp;

// Saves the user's settings, makes the optional backup, removes the previous
// per-user data, shortcuts and tool folders and registrations, re-creates the
// base folders and authorises the firewall.
void PrepareInstallation(CPatchwellApp& state);
