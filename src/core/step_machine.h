// The wizard's steps, the install pump and the exit question.
#pragma once

#include <memory>

#include "platform/ui/afx.h"

class CPatchwellApp;
struct Package;

constexpr int stepWelcome = 1;
constexpr int stepDetect = 2;
constexpr int stepInstalling = 3;
constexpr int stepComplete = 4;
constexpr int stepFailed = 5;

// Ends the page shown and creates and shows the page of step. The pages are
// owned by the main window (by the step machine when there is none) and stay
// hidden after their step.
void SwitchStep(int step, CPatchwellApp& state);
// The page of a step, not yet created; null for a step without a page.
// Defined beside the pages.
std::unique_ptr<afx::CDialogEx> MakeWizardPage(int step, afx::CWnd* parent);
// The install pump's timer callback (100 ms, for the whole run).
void PumpTick(afx::HWND window, afx::UINT message, afx::UINT_PTR timerId, afx::DWORD time);
// One pump tick's worth of the installation: the first tick after discovery
// prepares and applies every package, the next one finishes and shows the
// complete page.
void RunInstallSequence(CPatchwellApp& state);
// The host's close request and the pages' Cancel: asks before leaving while
// the installation is not finished.
void ConfirmExit();

// The phase operations the install sequence calls. They are the real ones
// unless a test replaces them (ScopedInstallPhases puts them back).
struct InstallPhases {
    void (*prepareInstallation)(CPatchwellApp& state);
    void (*installPackage)(CPatchwellApp& state, Package* package);
    void (*createShortcuts)(CPatchwellApp& state);
    void (*restorePreviousSettings)(CPatchwellApp& state);

    static InstallPhases Real();  // defined beside the wizard pages
    static InstallPhases& Current();
};

class ScopedInstallPhases {
public:
    explicit ScopedInstallPhases(const InstallPhases& phases) : saved(InstallPhases::Current()) {
        InstallPhases::Current() = phases;
    }
    ~ScopedInstallPhases() { InstallPhases::Current() = saved; }
    ScopedInstallPhases(const ScopedInstallPhases&) = delete;
    ScopedInstallPhases& operator=(const ScopedInstallPhases&) = delete;

private:
    InstallPhases saved;
};
