#include "main/unattended_answers.h"

#include <memory>

#include "core/installer_state.h"
#include "core/step_machine.h"
#include "ui/resource_ids.h"

namespace {

// Ticks or clears a check box the way a user would: by clicking it.
void SetBox(afx::HeadlessBackend& ui, int id, bool ticked) {
    afx::CWnd* box = ui.Control(id);
    if (box && (box->SendMessage(afx::BM_GETCHECK) == afx::BST_CHECKED) != ticked) ui.Click(id);
}

}  // namespace

afx::HeadlessBackend::Driver UnattendedDriver(const UnattendedChoices& choices) {
    auto choicesMade = std::make_shared<bool>(false);
    return [choices, choicesMade](afx::HeadlessBackend& backend) {
        if (backend.OpenMessageBox()) {
            backend.AnswerMessageBox(afx::IDNO);  // never leave an installation half done
            return;
        }
        switch (theApp.currentStep) {
            case stepWelcome:
                backend.Click(IDC_START_BUTTON);
                break;
            case stepDetect: {
                afx::CWnd* next = backend.Control(IDC_DETECT_CONTINUE);
                if (!next || !next->IsWindowEnabled()) break;
                if (!*choicesMade) {
                    SetBox(backend, IDC_START_MENU_BOX, choices.startMenuShortcuts);
                    SetBox(backend, IDC_DESKTOP_BOX, choices.desktopShortcuts);
                    SetBox(backend, IDC_BACKUP_BOX, choices.backup);
                    *choicesMade = true;
                }
                backend.Click(IDC_DETECT_CONTINUE);
                break;
            }
            case stepComplete:
                SetBox(backend, IDC_START_SIMULATOR, false);
                backend.Click(IDC_FINISHED_BUTTON);
                break;
            case stepFailed:
                backend.Click(IDC_FINISHED_BUTTON);
                break;
            default:
                break;
        }
    };
}

int UnattendedExitStatus() {
    if (theApp.currentStep == stepComplete) return kExitComplete;
    if (theApp.currentStep == stepFailed) return kExitFailed;
    return kExitLeft;
}
