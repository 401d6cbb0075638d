#include "core/progress.h"

void SetBarPosition(afx::CProgressCtrl* bar, int position) {
    if (!bar) return;
    bar->SendMessage(afx::PBM_SETPOS, static_cast<afx::WPARAM>(position), 0);
    bar->RedrawWindow(nullptr, nullptr, afx::kRedrawNow);
}

void ShowStatusText(afx::CStatic* status, const std::string& text) {
    if (!status) return;
    status->SetWindowText(text.c_str());
    status->RedrawWindow(nullptr, nullptr, afx::kRedrawNow);
}
