#!/usr/bin/env bash
# The two builds agree: one prefix holding an old installation (4.2.b, the
# editor tool beside it, the user's options, calibration, site list,
# profiles, schemes and sites, old uninstall and product registrations) and
# three packages beside the program is copied twice. In copy A the Windows
# program goes through the whole wizard under Wine, played by the driver (all
# boxes ticked; Finished with the start box cleared); in copy B the native
# program runs with --unattended. The two logs, the files under drive_c, the
# links and the registry values must then be the same.
#
# Then both programs run unattended (the Windows one in its silent mode) on
# more copies of the base prefix: as it is, a second time over the first run,
# without the installation, with a version out of range, with a damaged
# package among good ones, without the user's Documents folder, and killed
# while they install a fourth package, then run again to complete the
# update. Their exit statuses must be the one expected, and their logs, files
# and registry agree.
#
# $1: the repository top. PW_WINE, PW_BUILD_WIN: the Wine loader and the
# Windows build folder. PW_BUILD_NATIVE: the native build (default
# build/test-native under the top). PW_KEEP=1 keeps the work folder.
. "$(dirname "$0")/harness.sh" "${1:-}"

PW_BUILD_NATIVE=${PW_BUILD_NATIVE:-$PW_TOP/build/test-native}
native="$PW_BUILD_NATIVE/patchwell"
packer="$PW_BUILD_NATIVE/tools/patchwell-pack"
for f in "$native" "$packer" "$PW_BUILD_WIN/src/app_win32/AerovinPatchwell.exe" \
         "$PW_BUILD_WIN/tests/win32/driver/pw_driver.exe"; do
  [ -x "$f" ] || [ -f "$f" ] || { pw_fail "missing: $f"; pw_end; }
done

# Wine's menu builder would turn the program's desktop links into .desktop
# files of its own; that is Wine's doing, not the program's, so it stays off.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

# The width of the Windows build under test: its PE header's machine field.
win_exe="$PW_BUILD_WIN/src/app_win32/AerovinPatchwell.exe"
pe_at=$(od -An -tu4 -j60 -N4 "$win_exe" | tr -d ' ')
win_machine=$(od -An -tx2 -j$((pe_at + 4)) -N2 "$win_exe" | tr -d ' ')

base="$PW_WORK/base"
copyA="$PW_WORK/A"
copyB="$PW_WORK/B"

# Every prefix's server is stopped on the way out, not only the last one's.
agree_cleanup() {
  local prefix
  [ -n "$PW_APP_PID" ] && kill "$PW_APP_PID" 2>/dev/null
  for prefix in "$base" "$copyA" "$copyB" "$PW_WORK"/*.win "$PW_WORK"/*.nat; do
    [ -d "$prefix" ] && WINEPREFIX=$prefix timeout 20 "$PW_WINESERVER" -k >/dev/null 2>&1
  done
  pw_cleanup
}
trap agree_cleanup EXIT

# ---- the prefix: Wine's own, with an old installation planted in it ----
pw_start_screen && pw_new_prefix "$base" && pw_plant_demo_installation "$base" "$packer" || pw_end
# The fourth package, for the interrupted update: scenery tiles, enough small
# files for an update to be caught while it installs them. It is only put
# beside the program in that scenario.
pw_make_scenery_package "$PW_WORK/update4.pkg" 1500 "$packer" || pw_end

# The old registrations, written by Wine itself. The uninstall entries go
# where a 32-bit program's view of the uninstall key lies.
install='C:\Program Files\AerovinRC'
appdata="C:\\users\\$user\\AppData\\Roaming\\AerovinRC"
wow='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'
products='HKCR\Installer\Products'
reg_add() { timeout 60 "$PW_WINE" reg add "$@" /f >/dev/null 2>&1 || pw_fail "reg add $*"; }
reg_add "$wow\\AerovinRC" /v DisplayName /d 'Aerovin R/C®'
reg_add "$wow\\AerovinRC" /v DisplayVersion /d '4.2.b'
reg_add "$wow\\AerovinRC" /v Publisher /d 'Quenlow Ltd'
reg_add "$wow\\AerovinRC" /v DisplayIcon /d "$install/AerovinRC.exe"
reg_add "$wow\\AerovinRC" /v UninstallString /d "\"$appdata/Uninstall.exe\" \"$install\""
reg_add "$wow\\{6C1D2E3F-4A5B-6C7D-8E9F-0A1B2C3D4E5F}" /v DisplayName /d AerovinRC
reg_add "$wow\\{6C1D2E3F-4A5B-6C7D-8E9F-0A1B2C3D4E5F}" /v DisplayVersion /d '3.1.c'
reg_add "$wow\\OtherFlightTool" /v DisplayName /d 'Other Flight Tool'
reg_add "$products\\4F1B2C8D9E0A1B2C3D4E5F6A7B8C9D0E" /v ProductName /d 'Aerovin R/C®'
reg_add "$products\\4F1B2C8D9E0A1B2C3D4E5F6A7B8C9D0E\\SourceList" /v PackageName /d AerovinRC.msi
reg_add "$products\\7A6B5C4D3E2F1A0B9C8D7E6F5A4B3C2D" /v ProductName /d 'Other Flight Tool'
pw_stop_server
[ "$PW_FAILURES" -eq 0 ] || pw_end
cp -a "$base" "$copyA" && cp -a "$base" "$copyB" || { pw_fail "cannot copy the prefix"; pw_end; }

# ---- A: the Windows program, the user played by the driver ----
export WINEPREFIX=$copyA
pw_start_app
# The driver asked a question: true or false, no failure either way.
agree_probe() { timeout 60 "$PW_WINE" 'C:\Tools\pw_driver.exe' "$@" >/dev/null 2>&1; }
# Ticks box $1 of the current page when it is cleared.
agree_tick() {
  agree_probe expect-state "$1" "visible=1 enabled=1 check=1" && return 0
  pw_drive click "$1" sleep 300 expect-state "$1" "visible=1 enabled=1 check=1"
}
pw_drive wait-host 60 wait-page 139 60 click 1002 wait-page 138 30 || pw_end
# The search ends when Continue becomes enabled.
for _ in $(seq 1 60); do
  agree_probe expect-state 1007 "visible=1 enabled=1" && break
  sleep 1
done
for box in 1009 1012 1002; do agree_tick "$box" || pw_end; done
pw_drive click 1007 wait-page 137 120 || pw_end
pw_drive click 1014 sleep 300 expect-state 1014 "visible=1 enabled=1 check=0" click 1012 wait-gone 30 || pw_end
pw_wait_app 30 || pw_end
pw_stop_server

# ---- B: the native program on the copy nobody has open ----
export WINEPREFIX=$copyB
timeout 300 "$native" --prefix "$copyB" --update-folder "$copyB/drive_c/Update" --unattended \
  > "$PW_WORK/native.out" 2>&1 || { pw_fail "the native program failed: $(cat "$PW_WORK/native.out")"; }

# ---- the comparison ----
# The lines that depend on the machine are left out of both logs:
#  - the drive search ("  Searching: ..." and "  Checking: ...Found/Not
#    found"), whose folders are those of the machine's drives;
#  - the firewall's answers: after "Setting up Windows Firewall:", the
#    "  Registering application: ..." lines with their outcome, the "Error:
#    Could not ..." lines of the firewall interface and the section's closing
#    "Success", which come from Wine's firewall stand-in, not from the program.
#    The heading itself stays.
agree_log() {
  local log
  log="$1/drive_c/users/$user/Documents/AerovinPatchwell.log"
  [ -f "$log" ] || { echo "(no log)"; return; }
  tr -d '\r' < "$log" | sed -E -e '/^  (Searching|Checking): /d' |
    awk '
      /^Setting up Windows Firewall:$/ { print; firewall = 1; next }
      firewall && /^  Registering application: / { next }
      firewall && /^Error: Could not (create Windows Firewall interface|get Windows Firewall (policy|profile)|get authorised apps?|add app): / { next }
      firewall && /^Success$/ { firewall = 0; next }
      { firewall = 0; print }'
}

# The product is a 32-bit program, and the native build behaves as one: to
# it Software\Microsoft\Windows\CurrentVersion\Uninstall is the same key as
# Software\Wow6432Node\...\Uninstall, so the clean-up meets the old entries a
# second time there. A 64-bit Windows build (where the host cannot run 32-bit
# programs) has a separate key there, empty in this scenario. Against such a
# build the native log's second pass is left out, once it is checked to name
# exactly the entries of the first.
uninstall_path='Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\'
wow_path='Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\'
agree_fold_width() {
  if [ "$win_machine" != 8664 ]; then cat; return; fi
  local log
  log=$(cat)
  local second first
  second=$(sed -n -E "s/^  Deleting: ${uninstall_path}(.*)\.\.\.\$/\1/p" <<<"$log")
  first=$(sed -n -E "s/^  Deleting: ${wow_path}(.*)\.\.\.\$/\1/p" <<<"$log")
  [ "$second" = "$first" ] || echo "(the second pass names other entries: [$second] against [$first])"
  sed -E "/^(  Deleting|    Deleting key): ${uninstall_path}/d" <<<"$log"
}

# Every file under drive_c but Wine's own folders, the log and the driver:
# its name and a digest of its contents, or for a link what the link says.
# A link as lnkinfo reads it, or, without lnkinfo, as the driver reads it
# through Wine's own shell link ($2: the link's Windows path).
agree_lnk() {
  if command -v lnkinfo >/dev/null; then
    timeout 20 lnkinfo "$1" 2>/dev/null |
      sed -n -E 's/^[[:space:]]*(Local path|Description|Command line arguments|Relative path|Working directory)[[:space:]]*:[[:space:]]*/\1: /p'
  else
    timeout 60 "$PW_WINE" 'C:\Tools\pw_driver.exe' link "$2" 2>/dev/null | tr -d '\r'
  fi
}
agree_files() {
  local c=$1/drive_c
  export WINEPREFIX=$1
  (cd "$c" && find . -type f \
      ! -path './windows/*' ! -path './Tools/*' ! -path './Program Files/Common Files/*' \
      ! -path './Program Files/Internet Explorer/*' ! -path './Program Files/Windows *' \
      ! -path './Program Files (x86)/*' ! -path './ProgramData/Microsoft/Windows/Start Menu/Programs/Accessories/*' \
      ! -path './users/*/AppData/Local/*' ! -path './users/*/Temp/*' \
      ! -name AerovinPatchwell.log | LC_ALL=C sort) |
    while IFS= read -r f; do
      case "$f" in
        *.lnk) if [ "$(head -c 4 "$c/$f" | od -An -tx1 | tr -d ' ')" = 4c000000 ]; then
                 echo "$f -> $(agree_lnk "$c/$f" "C:$(echo "${f#.}" | tr / '\\\\')" | tr '\n' '|')"
               else
                 echo "$f $(sha256sum < "$c/$f" | cut -c1-16)"
               fi ;;
        *) echo "$f $(sha256sum < "$c/$f" | cut -c1-16)" ;;
      esac
    done
}

# The uninstall entry and the registrations the clean-up removes, read by
# Wine in each prefix once the program is done with it.
agree_registry() {
  export WINEPREFIX=$1
  local key values
  for key in "$wow\\AerovinRC" "$wow\\{6C1D2E3F-4A5B-6C7D-8E9F-0A1B2C3D4E5F}" "$wow\\OtherFlightTool" \
             'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\AerovinRC' \
             "$products\\4F1B2C8D9E0A1B2C3D4E5F6A7B8C9D0E" "$products\\7A6B5C4D3E2F1A0B9C8D7E6F5A4B3C2D"; do
    # Each value line carries its key, so that sorting keeps them together.
    values=$(pw_reg_query "$key" /s | awk '/^HKEY_/ { k = $0; next } NF && !/^reg: / { print k " :" $0 }' | LC_ALL=C sort)
    if [ -n "$values" ]; then echo "[$key]"; echo "$values"; else echo "[$key] missing"; fi
  done
  pw_stop_server
}

# The log, the files and the registry of prefixes $2 (Windows) and $3
# (native) compared under the scenario's name $1.
agree_check() {
  local name=$1 win=$2 nat=$3 what
  agree_log "$win" > "$PW_WORK/$name.A.log"
  agree_log "$nat" | agree_fold_width > "$PW_WORK/$name.B.log"
  agree_files "$win" > "$PW_WORK/$name.A.files"
  pw_stop_server
  agree_files "$nat" > "$PW_WORK/$name.B.files"
  pw_stop_server
  agree_registry "$win" > "$PW_WORK/$name.A.registry"
  agree_registry "$nat" > "$PW_WORK/$name.B.registry"
  for what in log files registry; do
    if ! diff -u --label "$name: $what (Windows)" --label "$name: $what (native)" \
         "$PW_WORK/$name.A.$what" "$PW_WORK/$name.B.$what" > "$PW_WORK/$name.$what.diff"; then
      pw_fail "$name: the $what differ:"
      head -40 "$PW_WORK/$name.$what.diff"
    fi
  done
}

agree_check wizard "$copyA" "$copyB"
grep -qx 'Done' "$PW_WORK/wizard.A.log" || pw_fail "the Windows program's log does not end the install"

# ---- the Windows program in its silent mode, on more scenarios ----
# Each scenario starts from a copy of the base prefix, changed by a function
# given the copy's drive_c, then runs both programs unattended; their exit
# statuses must be the one named, and their logs, files and registry agree.

# Runs the Windows program silently on prefix $1; its exit status printed.
agree_run_windows() {
  export WINEPREFIX=$1
  (cd "$1/drive_c/Update" && timeout 600 "$PW_WINE" 'C:\Update\AerovinPatchwell.exe' /unattended \
     > /dev/null 2> "$PW_WORK/windows.err")
  local status=$?
  pw_stop_server
  echo "$status"
}
agree_run_native() {
  export WINEPREFIX=$1
  timeout 300 "$native" --prefix "$1" --update-folder "$1/drive_c/Update" --unattended \
    > "$PW_WORK/native.out" 2>&1
  echo $?
}

# agree_scenario NAME STATUS CHANGE [again]: with "again" each program runs a second
# time over its first run, and the second runs are compared.
agree_scenario() {
  local name=$1 want=$2 change=$3 again=${4:-}
  local win="$PW_WORK/$name.win" nat="$PW_WORK/$name.nat" a b
  rm -rf "$copyA" "$copyB"
  cp -a "$base" "$win" && cp -a "$base" "$nat" || { pw_fail "$name: cannot copy the prefix"; return; }
  "$change" "$win/drive_c" && "$change" "$nat/drive_c" || { pw_fail "$name: cannot prepare the prefix"; return; }
  a=$(agree_run_windows "$win")
  b=$(agree_run_native "$nat")
  if [ -n "$again" ]; then
    a=$(agree_run_windows "$win")
    b=$(agree_run_native "$nat")
  fi
  [ "$a" = "$want" ] || pw_fail "$name: the Windows program ended with $a, wanted $want ($(tr -d '\r' < "$PW_WORK/windows.err"))"
  [ "$b" = "$want" ] || pw_fail "$name: the native program ended with $b, wanted $want ($(cat "$PW_WORK/native.out"))"
  # Nothing outside what the installer owns is deleted: the packages stay.
  [ -n "$(ls "$win"/drive_c/Update/*.pkg 2>/dev/null)" ] || pw_fail "$name: the Windows program deleted the packages"
  [ -n "$(ls "$nat"/drive_c/Update/*.pkg 2>/dev/null)" ] || pw_fail "$name: the native program deleted the packages"
  agree_check "$name" "$win" "$nat"
  rm -rf "$win" "$nat"
}

unchanged() { return 0; }
no_installation() { rm -rf "$1/Program Files/AerovinRC" "$1/Program Files/AerovinBuilder"; }
version_out_of_range() { printf '5.1.a' > "$1/Program Files/AerovinRC/AerovinRC.ver"; }
# The middle of the second package overwritten: its check fails before anything
# changes, and both builds end on the failure page.
damaged_package() {
  local second
  second=$(ls "$1"/Update/*.pkg | LC_ALL=C sort | sed -n 2p)
  [ -n "$second" ] || return 1
  local size
  size=$(stat -c %s "$second")
  dd if=/dev/zero of="$second" bs=1 seek=$((size / 2)) count=64 conv=notrunc status=none
}
# The user's Documents folder missing: no log, no user data, no backup.
no_documents() { rm -rf "$1/users/$user/Documents"; }

agree_scenario silent 0 unchanged && grep -qx 'Done' "$PW_WORK/silent.A.log" ||
  pw_fail "the silent run's log does not end the install"
agree_scenario second-run 0 unchanged again
agree_scenario no-installation 1 no_installation
agree_scenario version-out-of-range 1 version_out_of_range
agree_scenario damaged-package 1 damaged_package
# Without a Documents folder the per-user folders are unknown: both builds
# pass over them, and the packages beside the program are still there.
agree_scenario no-documents 0 no_documents

# ---- an update killed while it installs, completed by the next run ----
# Each build is killed hard once its log shows the fourth package being
# installed; the native program is slowed (each file's creation delayed a
# little under strace) so that it is caught in the middle too. The two are
# killed at different files; the runs that complete the update must still
# leave the same log, files and registry.
agree_interrupted() {
  local win="$PW_WORK/interrupted.win" nat="$PW_WORK/interrupted.nat" outcome a b job prefix
  cp -a "$base" "$win" && cp -a "$base" "$nat" || { pw_fail "interrupted: cannot copy the prefix"; return; }
  cp "$PW_WORK/update4.pkg" "$win/drive_c/Update/" && cp "$PW_WORK/update4.pkg" "$nat/drive_c/Update/" ||
    { pw_fail "interrupted: cannot add the scenery package"; return; }

  export WINEPREFIX=$win
  (cd "$win/drive_c/Update" && exec timeout 600 "$PW_WINE" 'C:\Update\AerovinPatchwell.exe' /unattended \
     > /dev/null 2>&1) &
  job=$!
  disown $job  # killed on purpose: the shell's note of it would be no finding
  outcome=$(pw_kill_when_logged "$win" '^Installing: .*update4\.pkg' $job 'AerovinPatchwell\.exe')
  [ "$outcome" = seen ] || pw_fail "interrupted: the Windows program was not caught installing the scenery ($outcome)"

  export WINEPREFIX=$nat
  timeout 600 strace -f -o /dev/null -e trace=openat,openat2 -e inject=openat,openat2:delay_exit=2000 \
    "$native" --prefix "$nat" --update-folder "$nat/drive_c/Update" --unattended > /dev/null 2>&1 &
  job=$!
  disown $job
  outcome=$(pw_kill_when_logged "$nat" '^Installing: .*update4\.pkg' $job 'patchwell --prefix')
  [ "$outcome" = seen ] || pw_fail "interrupted: the native program was not caught installing the scenery ($outcome)"

  for prefix in "$win" "$nat"; do
    [ -f "$prefix/drive_c/users/$user/Documents/AerovinPatchwell.update" ] ||
      pw_fail "interrupted: no record of the update in $(basename "$prefix") after the kill"
  done
  a=$(agree_run_windows "$win")
  b=$(agree_run_native "$nat")
  [ "$a" = 0 ] || pw_fail "interrupted: the Windows program's second run ended with $a"
  [ "$b" = 0 ] || pw_fail "interrupted: the native program's second run ended with $b ($(cat "$PW_WORK/native.out"))"
  agree_check interrupted "$win" "$nat"
  grep -q '^Completing an interrupted update of version 4\.2\.b$' "$PW_WORK/interrupted.A.log" ||
    pw_fail "interrupted: the second run's log does not say that it completes an interrupted update"
  rm -rf "$win" "$nat"
}
agree_interrupted
pw_end
