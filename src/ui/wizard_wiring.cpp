// What the step machine drives: the page of each step and the phase
// operations of the install sequence. Kept here, above the subsystems, so
// that the installer core depends on none of them.
#include "core/installer_state.h"
#include "core/step_machine.h"
#include "detect/detect_page.h"
#include "packages/package_install.h"
#include "preserve/preparation.h"
#include "preserve/settings_transfer.h"
#include "ui/wizard_pages.h"

namespace {

void CreateShortcutsOfApp(CPatchwellApp& state) { state.CreateShortcuts(); }

}  // namespace

std::unique_ptr<afx::CDialogEx> MakeWizardPage(int step, afx::CWnd* parent) {
    switch (step) {
        case stepWelcome:
            return std::make_unique<CDlgStepWelcome>(parent);
        case stepDetect:
            return std::make_unique<CDlgDetectVersion>(parent);
        case stepInstalling:
            return std::make_unique<CDlgStepInstalling>(parent);
        case stepComplete:
            return std::make_unique<CDlgStepComplete>(parent);
        case stepFailed:
            return std::make_unique<CDlgStepFailed>(parent);
        default:
            return nullptr;
    }
}

InstallPhases InstallPhases::Real() {
    return InstallPhases{PrepareInstallation, InstallPackage, CreateShortcutsOfApp, RestorePreviousSettings};
}
