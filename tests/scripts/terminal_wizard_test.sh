#!/usr/bin/env bash
# A person updates the demo installation in a terminal: welcome, Start, the
# installation is found, the desktop box is cleared, Continue, the complete
# page with the start box cleared, Finished. Then the exit status, the log
# and the prefix are checked. Each page's screen is kept under
# <build>/artifacts/terminal/.
set -u
source "$(dirname "$0")/terminal_common.sh"

start_wizard
wait_for "Welcome to the Aerovin R/C Version 5 manual offline updater."
wait_for "Start »]"
shows "Aerovin V5 Patchwell" || fail "no host title"
keep_screen 1-welcome

keys Enter  # Start has the focus
wait_for "We have detected your previous installation at the following"
wait_for 'C:\Program Files (x86)\AerovinRC'
shows "[x] Create desktop shortcut" || fail "the desktop box does not start ticked"
keep_screen 2-detection-found

# Cancel has the focus; the boxes follow in template order: back-up, Start menu, desktop.
keys Tab Tab Tab Space
wait_for "[ ] Create desktop shortcut"
shows "[x] Create start-menu shortcut" || fail "the start-menu box changed"
shows "[x] Back-up previous settings, variants and recordings" || fail "the back-up box changed"
keep_screen 3-detection-choices

keys Tab Enter  # on to Continue, which presses it
installing=0
end=$((SECONDS + 60))
while [ $SECONDS -lt $end ]; do
  screen=$(screen_text)
  if [ $installing -eq 0 ] && grep -qF "Installing updates" <<<"$screen"; then
    installing=1
    printf '%s\n' "$screen" > "$artifacts/4-installing.txt"
  fi
  grep -qF "Installation complete" <<<"$screen" && break
  sleep 0.02
done
wait_for "Aerovin R/C V5 is now installed"
[ $installing -eq 1 ] || echo "note: the installing page went by too fast to be kept"
wait_for "[x] Start Aerovin when"
keep_screen 5-complete

# Finished has the focus; clear the start box so that nothing is started.
keys Tab Space
wait_for "[ ] Start Aerovin when"
keys BTab Enter
status=$(exit_status)
keep_screen 6-after
[ "$status" = 0 ] || fail "exit status $status, not 0 (stderr: $(cat "$stderr_file"))"

log="$documents/AerovinPatchwell.log"
[ -f "$log" ] || fail "no log at $log"
grep -qF 'Found previous installation at C:\Program Files (x86)\AerovinRC' "$log" || fail "the log does not name the installation"
install="$prefix/drive_c/Program Files (x86)/AerovinRC"
[ "$(cat "$install/AerovinRC.ver")" = "5.0.p" ] || fail "the version file was not updated"
[ -f "$install/Manuals/Getting started.txt" ] || fail "the manuals package was not applied"
grep -qF "MZ editor tool 5.0" "$prefix/drive_c/Program Files (x86)/AerovinBuilder/AerovinBuilder.exe" ||
  fail "the editor tool was not updated"
[ ! -e "$prefix/drive_c/users/Public/Desktop/AerovinRC.lnk" ] || fail "a desktop shortcut exists though its box was cleared"
[ -f "$prefix/drive_c/users/Public/Desktop/Other program.lnk" ] || fail "another program's shortcut was removed"
echo "PASS: the wizard ran from welcome to complete; screens in $artifacts"
