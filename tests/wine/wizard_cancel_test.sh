#!/usr/bin/env bash
# Cancel on the detection page answered No (nothing changes), then Yes (the
# program ends with its log written out); Escape on the host does nothing.
. "$(dirname "$0")/harness.sh" "${1:-}"

pw_start_screen && pw_build_tools && pw_new_prefix "$PW_WORK/prefix" || pw_end
pw_make_installation 'Program Files\AerovinRC' '4.2.c'
pw_make_update_folder || pw_end
pw_start_app
pw_drive wait-host 60 wait-page 139 60 click 1002 wait-page 138 30 sleep 1500 click 1001 || pw_end
pw_shot 1-exit-question
out=$(pw_drive answer no 20 sleep 500 wait-page 138 2 expect-state 1007 "visible=1 enabled=1") || pw_end
[ "$out" = "The installation process is not yet finished - are you sure you want to exit?" ] ||
  pw_fail "the exit question reads: $out"
pw_drive click 1001 answer yes 20 wait-gone 30 >/dev/null || pw_end
pw_wait_app 30
pw_expect_log_line "Found previous installation at C:\\Program Files\\AerovinRC"
pw_expect_file 'C:\Program Files\AerovinRC\AerovinRC.exe' 'old simulator'
pw_end
