// A wizard on a scratch machine, driven by the headless backend: the host
// dialog is created modelessly (or run modally by the test), the virtual
// clock is also the machine's millisecond clock, and the phase operations of
// the install sequence are replaced by doubles that log what they are given.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/installer_state.h"
#include "core/log.h"
#include "core/step_machine.h"
#include "platform/fault.h"
#include "platform/posix/machine.h"
#include "platform/ui/headless_backend.h"
#include "support/fresh_installer_state.h"
#include "support/log_capture.h"
#include "support/scratch_machine.h"
#include "ui/dialog_layouts.h"
#include "ui/host_dialog.h"
#include "ui/wizard_pages.h"

// What the phase doubles saw, in order; each also logs one line.
struct PhaseCalls {
    std::vector<std::string> calls;
    // At each package's call: the names still queued, front first.
    std::vector<std::vector<std::string>> queues;
};

inline PhaseCalls& Calls() {
    static PhaseCalls calls;
    return calls;
}

inline InstallPhases LoggingPhases() {
    InstallPhases phases;
    phases.prepareInstallation = [](CPatchwellApp&) {
        Calls().calls.push_back("prepare");
        LogPrintf("[prepare]\n");
    };
    phases.installPackage = [](CPatchwellApp& state, Package* package) {
        Calls().calls.push_back("package " + package->name);
        std::vector<std::string> queue;
        for (const auto& queued : state.packages) queue.push_back(queued->name);
        Calls().queues.push_back(queue);
        LogPrintf("[package %s]\n", package->name.c_str());
    };
    phases.createShortcuts = [](CPatchwellApp&) {
        Calls().calls.push_back("shortcuts");
        LogPrintf("[shortcuts]\n");
    };
    phases.restorePreviousSettings = [](CPatchwellApp&) {
        Calls().calls.push_back("restore");
        LogPrintf("[restore]\n");
    };
    return phases;
}

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetInstallerState();
        Calls() = PhaseCalls{};
        RegisterDialogLayouts();
        plat::posix::SetClock(&afx::HeadlessBackend::ActiveClock);
        theApp.titleFont = std::make_unique<afx::CFont>();
        theApp.titleFont->CreateFont(-18, 0, "Arial");
    }
    void TearDown() override {
        host.reset();
        ResetInstallerState();
        plat::posix::SetClock(nullptr);
    }

    // The host as InitInstance makes it, created modelessly: folders, pump, step 1.
    CPatchwellDlg& CreateHost() {
        host = std::make_unique<CPatchwellDlg>(nullptr);
        theApp.m_pMainWnd = host.get();
        hostDialog = host.get();
        host->Create(host->TemplateId(), nullptr);
        host->ShowWindow(afx::SW_SHOW);
        return *host;
    }

    // What discovery does: its one-shot timer stops, the packages are queued
    // and the install is requested.
    void QueuePackages(const std::vector<std::string>& names) {
        if (installingPage) installingPage->KillTimer(0);
        for (const std::string& name : names) {
            auto package = std::make_unique<Package>();
            package->path = name;
            package->name = name;
            theApp.packages.push_back(std::move(package));
        }
        theApp.installRequested = true;
    }

    afx::CDialogEx* Page() const { return theApp.currentPage; }
    afx::HFONT TitleFont() const { return theApp.titleFont->GetSafeHandle(); }

    ScratchMachine machine;
    LogCapture log;
    plat::fault::Scope faults;
    afx::HeadlessBackend ui;
    afx::ScopedUiBackend useUi{&ui};
    ScopedInstallPhases phases{LoggingPhases()};
    std::unique_ptr<CPatchwellDlg> host;
};
