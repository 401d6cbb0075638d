#include "core/step_machine.h"

#include "core/installer_state.h"

void SwitchStep(int step, CPatchwellApp& state) { state.currentStep = step; }
void PumpTick(afx::HWND, afx::UINT, afx::UINT_PTR, afx::DWORD) {}
void RunInstallSequence(CPatchwellApp&) {}
void ConfirmExit() {}
