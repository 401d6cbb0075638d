#!/usr/bin/env bash
# patchwell --unattended updates the demo's old installation from end to end,
# honouring an unticked box.
set -u
. "$(dirname "$0")/../lib/common.sh"
build=$1
pw_work
pw_demo_prefix "$build" "$2"

"$build/patchwell" --prefix "$prefix" --update-folder "$updates" --unattended --no-desktop-shortcuts 2>"$work/stderr"
status=$?
user_dir="$(pw_user_home "$prefix")/Documents"
log="$user_dir/AerovinPatchwell.log"
install="$prefix/drive_c/Program Files (x86)/AerovinRC"
start_menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/AerovinRC"

check "exit status 0 (was $status: $(cat "$work/stderr"))" test "$status" -eq 0
check "log written with CRLF" grep -q $'^Completed downloads installed\r$' "$log"
check "three packages applied" test "$(grep -c $'^Success\r$' "$log")" -ge 3
check "the log ends on Done" test "$(tail -n 1 "$log")" = $'Done\r'
check "version 5.0.p installed" grep -q '^5.0.p' "$install/AerovinRC.ver"
check "start-menu links made" test -f "$start_menu/AerovinRC.lnk" -a -f "$start_menu/User Guide/English.lnk"
check "no desktop link (box unticked)" test ! -e "$prefix/drive_c/users/Public/Desktop/AerovinRC.lnk"
check "the user's other desktop link kept" test -f "$prefix/drive_c/users/Public/Desktop/Other program.lnk"
check "holding folder removed" test ! -e "$user_dir/AerovinTemp"
check "backup made" test -d "$user_dir/AerovinRC_backup"
check "uninstall entry registered" grep -q 'Uninstall\\\\AerovinRC\]' "$prefix/system.reg"
pw_result
