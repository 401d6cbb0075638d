// A scratch machine with the six root folders of the packages, the installer
// state pointing at them, and a UI backend that records the repaints.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/installer_state.h"
#include "packages/package_install.h"
#include "packages/package_stream.h"
#include "packages/writer/package_writer.h"
#include "platform/fault.h"
#include "platform/ui/ui_backend.h"
#include "support/fresh_installer_state.h"
#include "support/log_capture.h"
#include "support/scratch_machine.h"

// Records each forced repaint of a watched control and each timer stopped.
class RecordingUi : public afx::UiBackend {
public:
    void WindowChanged(afx::CWnd& window, bool drawNow) override {
        if (drawNow && &window == watched) positions.push_back(window.State().position);
    }
    afx::INT_PTR RunModal(afx::CDialogEx&) override { return 0; }
    int MessageBox(afx::HWND, const std::string&, const std::string&, afx::UINT) override { return 0; }
    void PostQuit(int) override {}
    afx::UINT_PTR SetTimer(afx::HWND, afx::UINT_PTR timerId, afx::UINT, afx::TIMERPROC) override { return timerId; }
    afx::BOOL KillTimer(afx::HWND window, afx::UINT_PTR timerId) override {
        killed.push_back({window, timerId});
        return 1;
    }

    afx::CWnd* watched = nullptr;
    std::vector<int> positions;
    std::vector<std::pair<afx::HWND, afx::UINT_PTR>> killed;
};

class PackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        state.installerFolder = root + "\\Update";
        state.installFolder = root + "\\Game";
        state.userDataFolder = root + "\\Docs/AerovinRC";
        state.startMenuFolder = root + "\\Start/AerovinRC";
        state.appDataFolder = root + "\\Roaming/AerovinRC";
        state.builderFolder = root + "\\Builder";
        state.userBuilderFolder = root + "\\Docs/AerovinBuilder";
        for (const std::string* folder : RootFolders()) machine.MakeFolder(*folder);
        machine.MakeFolder(state.installerFolder);
        afx::SetUiBackend(&ui);
        state.currentStep = 3;  // the installing page
    }
    void TearDown() override { afx::SetUiBackend(nullptr); }

    std::vector<const std::string*> RootFolders() const {
        std::vector<const std::string*> folders;
        for (unsigned i = 0; i < pkgformat::kRootFolderCount; ++i) folders.push_back(RootFolderOf(state, i));
        return folders;
    }
    // Puts a package file beside the installer; returns its path as discovery gives it.
    std::string PutPackage(const std::string& name, const std::string& bytes) const {
        machine.WriteFile(state.installerFolder + "\\" + name, bytes);
        return state.installerFolder + "/" + name;
    }
    void Install(const std::string& path) {
        Package package;
        package.path = path;
        package.name = path;
        InstallPackage(state, &package);
    }
    // The unpacking lines of a package stored in one chunk.
    static std::string OneChunkLines(std::size_t streamSize) {
        return "1 chunks\nTotal uncompressed size: " + std::to_string(streamSize) +
               "\nMemory allocated\nDecompressing chunk: 0 / 1\nChunks uncompressed successfully\n";
    }

    FreshInstallerState fresh;
    ScratchMachine machine;
    CurrentDirRestorer restorer;
    LogCapture log;
    plat::fault::Scope faults;
    RecordingUi ui;
    std::string root = machine.Root();
    CPatchwellApp& state = theApp;
};
