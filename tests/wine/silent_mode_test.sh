#!/usr/bin/env bash
# The Windows program's silent mode: AerovinPatchwell.exe /unattended answers
# the wizard as the native program's --unattended does, shows no window, and
# ends with the same exit statuses: 0 complete, 1 failed (the reason on the
# standard error), 2 an unknown option, no box waiting for a click.
. "$(dirname "$0")/harness.sh" "${1:-}"

pw_start_screen && pw_build_tools && pw_new_prefix "$PW_WORK/prefix" || pw_end

# Runs the program from C:\Update with the arguments given; its exit status
# in $silent_status, its standard error in $PW_WORK/silent.err. Meanwhile the
# screen is watched for a window of the program.
silent_run() {
  local shown=0
  (cd "$(pw_host 'C:\Update')" && exec timeout 600 "$PW_WINE" 'C:\Update\AerovinPatchwell.exe' "$@" \
     > "$PW_WORK/silent.out" 2> "$PW_WORK/silent.err") &
  local pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    xwininfo -root -tree 2>/dev/null | grep -q '"Aerovin V5 Patchwell"' && shown=1
    sleep 0.2
  done
  wait "$pid"
  silent_status=$?
  timeout 30 "$PW_WINESERVER" -w >/dev/null 2>&1
  [ "$shown" -eq 0 ] || pw_fail "a window was shown in silent mode ($*)"
}

# The whole update, without desktop shortcuts.
pw_make_installation 'Program Files\AerovinRC' '4.2.c'
pw_make_update_folder || pw_end
silent_run /unattended /no-desktop-shortcuts
[ "$silent_status" -eq 0 ] || pw_fail "complete update: exit status $silent_status, wanted 0 ($(tr -d '\r' < "$PW_WORK/silent.err"))"
for line in "Found previous installation at C:\\Program Files\\AerovinRC" "  Version detected: 4.2.c" \
            "Finishing install process:" "Done"; do
  pw_expect_log_line "$line"
done
pw_expect_file 'C:\Program Files\AerovinRC\AerovinRC.exe' 'new simulator'
pw_expect_file 'C:\Program Files\AerovinRC\Manuals\guide.txt' 'the guide'
[ -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/AerovinRC/AerovinRC.lnk" ] ||
  pw_fail "no Start-menu link"
ls "$WINEPREFIX"/drive_c/users/Public/Desktop/*.lnk >/dev/null 2>&1 && pw_fail "desktop links made with /no-desktop-shortcuts"
[ -s "$PW_WORK/silent.out" ] && pw_fail "the silent run wrote to its standard output: $(head -3 "$PW_WORK/silent.out")"

# An unknown option: status 2 at once, nothing installed, no box.
silent_run /unattended /bogus
[ "$silent_status" -eq 2 ] || pw_fail "unknown option: exit status $silent_status, wanted 2"

# No installation anywhere: the failure, its reason on the standard error.
timeout 20 "$PW_WINESERVER" -k >/dev/null 2>&1
pw_new_prefix "$PW_WORK/prefix2" && pw_make_update_folder || pw_end
silent_run -UNATTENDED
[ "$silent_status" -eq 1 ] || pw_fail "no installation: exit status $silent_status, wanted 1"
grep -q "Could not detect any previously installed version." "$PW_WORK/silent.err" ||
  pw_fail "no installation: the reason is not on the standard error: $(tr -d '\r' < "$PW_WORK/silent.err")"
pw_expect_log_line "Error: No previous installation found"

# A version out of range: the failure, the old installation left alone.
pw_make_installation 'Program Files\AerovinRC' '5.1.a'
silent_run /unattended
[ "$silent_status" -eq 1 ] || pw_fail "version out of range: exit status $silent_status, wanted 1"
grep -q 'Version "5.1.a" is installed' "$PW_WORK/silent.err" || pw_fail "version out of range: no reason given"
pw_expect_log_line "Invalid version"
pw_expect_file 'C:\Program Files\AerovinRC\AerovinRC.exe' 'old simulator'
pw_end
