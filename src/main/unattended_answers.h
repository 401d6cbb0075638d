// What both programs share of their unattended runs: the answers a user who
// accepts every default gives the wizard's pages, the three choices an
// administrator may turn off, and the exit statuses. The native program and
// the Windows program run the wizard on the headless backend with this driver.
#pragma once

#include "platform/ui/headless_backend.h"

constexpr int kExitComplete = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitLeft = 3;

// The detection page's check boxes, ticked unless turned off.
struct UnattendedChoices {
    bool startMenuShortcuts = true;
    bool desktopShortcuts = true;
    bool backup = true;
};

// Start; Continue once the search has found an installation, with the boxes
// set to the choices; Finished on the complete page with "Start Aerovin when
// I click Finished" cleared, and on the failure page; No to the exit question.
afx::HeadlessBackend::Driver UnattendedDriver(const UnattendedChoices& choices);

// The exit status of a run that has ended: complete, failed, or left before
// the end (the wizard stopped on another page).
int UnattendedExitStatus();
