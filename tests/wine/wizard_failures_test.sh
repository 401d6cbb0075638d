#!/usr/bin/env bash
# The failure page: with no installation anywhere, and with an installed
# version above the accepted range.
. "$(dirname "$0")/harness.sh" "${1:-}"

pw_start_screen && pw_build_tools && pw_new_prefix "$PW_WORK/prefix" || pw_end
pw_make_update_folder || pw_end

# No installation: the failure page as soon as the search ends.
pw_start_app
pw_drive wait-host 60 wait-page 139 60 click 1002 wait-page 136 120 \
  expect-text 1013 "Could not detect any previously installed version." || pw_end
pw_shot 1-no-installation
pw_drive click 1012 wait-gone 30
pw_wait_app 30
pw_expect_log_line "Error: No previous installation found"

# A version out of range: Continue leads to the failure page.
timeout 20 "$PW_WINESERVER" -k >/dev/null 2>&1
pw_new_prefix "$PW_WORK/prefix2" && pw_make_update_folder || pw_end
pw_make_installation 'Program Files\AerovinRC' '5.1.a'
pw_start_app
pw_drive wait-host 60 wait-page 139 60 click 1002 wait-page 138 30 sleep 1500 \
  expect-state 1007 "visible=1 enabled=1" click 1007 wait-page 136 30 \
  expect-text 1013 'Version "5.1.a" is installed - You must have at least version "0.0.a" to continue.' || pw_end
pw_shot 2-version-out-of-range
pw_drive click 1012 wait-gone 30
pw_wait_app 30
pw_expect_log_line "Invalid version"
pw_expect_file 'C:\Program Files\AerovinRC\AerovinRC.exe' 'old simulator'
pw_end
