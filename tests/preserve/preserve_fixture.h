// A previous installation on a scratch machine, with an installer state of
// its own whose folders point into it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/installer_state.h"
#include "platform/fault.h"
#include "support/log_capture.h"
#include "support/scratch_machine.h"

class PreserveTest : public ::testing::Test {
protected:
    PreserveTest() {
        state.documentsFolder = root + "\\Documents";
        state.userDataFolder = state.documentsFolder + "/AerovinRC";
        state.userBuilderFolder = state.documentsFolder + "/AerovinBuilder";
        state.installFolder = root + "\\Games\\AerovinRC";
        state.builderFolder = root + "\\Games\\Aerovin Builder";
        state.appDataFolder = root + "\\AppData/AerovinRC";
        state.startMenuFolder = root + "\\Programs/AerovinRC";
        state.desktopFolder = root + "\\Desktop";
        state.programFilesFolder = root + "\\Program Files";
        machine.MakeFolder(state.documentsFolder);
        machine.MakeFolder(state.programFilesFolder);
        machine.MakeFolder(state.installFolder + "\\resources\\data");
    }

    // A file under the user-data folder.
    std::string UserFile(const std::string& relative) const { return state.userDataFolder + relative; }
    void WriteUserFile(const std::string& relative, const std::string& bytes) const {
        machine.WriteFile(UserFile(relative), bytes);
    }

    ScratchMachine machine;
    CurrentDirRestorer restorer;
    LogCapture log;
    plat::fault::Scope faults;
    std::string root = machine.Root();
    CPatchwellApp state;
};
