// The wizard's steps, the install pump and the exit question.
#pragma once

#include "platform/ui/afx.h"

class CPatchwellApp;

constexpr int stepWelcome = 1;
constexpr int stepDetect = 2;
constexpr int stepInstalling = 3;
constexpr int stepComplete = 4;
constexpr int stepFailed = 5;

// Ends the page shown and creates and shows the page of step.
void SwitchStep(int step, CPatchwellApp& state);
// The install pump's timer callback (100 ms, for the whole run).
void PumpTick(afx::HWND window, afx::UINT message, afx::UINT_PTR timerId, afx::DWORD time);
// One pump tick's worth of the installation.
void RunInstallSequence(CPatchwellApp& state);
// The host's close request and the pages' Cancel: asks before leaving while
// the installation is not finished.
void ConfirmExit();
