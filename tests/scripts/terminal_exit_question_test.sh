#!/usr/bin/env bash
# A person asks to leave the wizard with Ctrl-C: the exit question appears
# over the page; No (by Tab and Enter, then by N) keeps the wizard where it
# was, Yes (by Y) leaves it with exit status 3 and the installation untouched.
set -u
source "$(dirname "$0")/terminal_common.sh"

start_wizard
wait_for "Welcome to the Aerovin R/C Version 5 manual offline updater."
keys Escape  # Escape does nothing on this page
sleep 0.3
shows "Welcome to the Aerovin R/C Version 5" || fail "Escape left the welcome page"

keys C-c
wait_for "Installing not complete"
wait_for "are you sure you want to exit?"
shows "[ Yes ]" && shows "[ No ]" || fail "the exit question lacks Yes or No"
keep_screen exit-1-question

keys Tab Enter  # from Yes to No, and press it
for ((i = 0; i < 100; i++)); do shows "Installing not complete" || break; sleep 0.05; done
shows "Installing not complete" && fail "No by Tab and Enter left the question open"
[ -s "$status_file" ] && fail "No ended the program"
shows "Welcome to the Aerovin R/C Version 5" || fail "the welcome page is gone after No"
keep_screen exit-2-after-no

keys Enter  # Start has the focus
wait_for "We have detected your previous installation at the following"
keys C-c
wait_for "Installing not complete"
keys n
for ((i = 0; i < 100; i++)); do shows "Installing not complete" || break; sleep 0.05; done
shows "Installing not complete" && fail "N left the question open"
shows "We have detected your previous installation" || fail "the detection page is gone after N"

keys C-c
wait_for "Installing not complete"
keep_screen exit-3-question-again
keys y
status=$(exit_status)
[ "$status" = 3 ] || fail "exit status $status after Yes, not 3"

install="$prefix/drive_c/Program Files (x86)/AerovinRC"
[ "$(cat "$install/AerovinRC.ver")" = "4.2.b" ] || fail "leaving the wizard changed the installation"
[ -f "$documents/AerovinPatchwell.log" ] || fail "no log"
grep -qF 'Found previous installation at' "$documents/AerovinPatchwell.log" || fail "the log lacks the search"
echo "PASS: No kept the wizard, Yes left it with exit status 3"
