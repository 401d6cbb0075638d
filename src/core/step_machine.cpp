#include "core/step_machine.h"

#include <memory>
#include <vector>

#include "core/installer_state.h"
#include "core/log.h"
#include "ui/host_dialog.h"

namespace {

// Pages made while there is no main window: kept for the rest of the run.
// Never destroyed, as a page may hold timers and handles until the end.
std::vector<std::unique_ptr<afx::CDialogEx>>& OwnerlessPages() {
    static auto* pages = new std::vector<std::unique_ptr<afx::CDialogEx>>;
    return *pages;
}

}  // namespace

InstallPhases& InstallPhases::Current() {
    static InstallPhases phases = Real();
    return phases;
}

void SwitchStep(int step, CPatchwellApp& state) {
    if (state.currentPage) state.currentPage->EndDialog(afx::IDOK);
    state.currentPage = nullptr;
    state.progressBar = nullptr;
    state.statusText = nullptr;
    state.installRequested = false;
    state.currentStep = step;

    afx::CWnd* mainWindow = state.m_pMainWnd;
    std::unique_ptr<afx::CDialogEx> page = MakeWizardPage(state.currentStep, mainWindow);
    if (page) {
        afx::CDialogEx* created = page.get();
        if (mainWindow)
            mainWindow->AdoptOwnedWindow(std::move(page));
        else
            OwnerlessPages().push_back(std::move(page));
        // The page's initialisation already sees itself as the current page.
        state.currentPage = created;
        created->Create(created->TemplateId(), mainWindow);
    }
    if (state.currentPage) state.currentPage->ShowWindow(afx::SW_SHOW);
}

void PumpTick(afx::HWND, afx::UINT, afx::UINT_PTR, afx::DWORD) {
    // A message box opened inside a tick delivers this timer again.
    if (theApp.pumpBusy) return;
    theApp.pumpBusy = true;
    RunInstallSequence(theApp);
    theApp.pumpBusy = false;
}

void RunInstallSequence(CPatchwellApp& state) {
    if (!state.installRequested) return;
    const InstallPhases& phases = InstallPhases::Current();
    if (!state.packages.empty()) {
        phases.prepareInstallation(state);
        LogPrintf("Installing completed downloads\n");
        while (!state.packages.empty()) {
            phases.installPackage(state, state.packages.front().get());
            state.packages.pop_front();  // frees the record with its data and texts
        }
        LogPrintf("Completed downloads installed\n");
        return;  // installRequested stays set: the next tick finishes
    }
    afx::ClearTaskbarProgress(hostDialog ? hostDialog->GetSafeHwnd() : nullptr);
    state.installRequested = false;
    LogPrintf("Finishing install process:\n");
    phases.createShortcuts(state);
    phases.restorePreviousSettings(state);
    LogPrintf("Done\n");
    SwitchStep(state.currentStep + 1, state);
}

void ConfirmExit() {
    if (theApp.currentStep != stepComplete && theApp.currentStep != stepFailed) {
        afx::HWND owner = theApp.m_pMainWnd ? theApp.m_pMainWnd->GetSafeHwnd() : nullptr;
        int answer = afx::MessageBoxA(owner,
                                      "The installation process is not yet finished - are you sure you want to exit?",
                                      "Installing not complete", afx::MB_YESNO | afx::MB_ICONWARNING);
        if (answer == afx::IDNO) return;
    }
    afx::PostQuitMessage(1);
}
