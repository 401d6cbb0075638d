#include "preserve/settings_transfer.h"

#include "core/installer_state.h"
#include "preserve/calibration.h"
#include "preserve/options.h"
#include "preserve/sites.h"
#include "preserve/user_content.h"

bool SavePreviousSettings(CPatchwellApp& state) {
    SaveOptions(state);
    SaveInstalledSites(state);
    SaveCalibration(state);
    return StashUserContent(state);
}

void RestorePreviousSettings(CPatchwellApp& state) {
    RestoreOptions(state);
    WriteInstalledList(state);
    RestoreCalibration(state);
    RestoreUserContent(state);
}
