// Gives a test the installer state with its initial values, and leaves it so
// for the next test: the record of theApp, its main window and the three
// global page pointers.
#pragma once

#include "core/installer_state.h"

inline void ResetInstallerState() {
    theApp.ResetState();
    theApp.m_pMainWnd = nullptr;
    hostDialog = nullptr;
    detectPage = nullptr;
    installingPage = nullptr;
}

class FreshInstallerState {
public:
    FreshInstallerState() { ResetInstallerState(); }
    ~FreshInstallerState() { ResetInstallerState(); }
    FreshInstallerState(const FreshInstallerState&) = delete;
    FreshInstallerState& operator=(const FreshInstallerState&) = delete;
};
