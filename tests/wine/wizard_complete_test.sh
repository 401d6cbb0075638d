#!/usr/bin/env bash
# The whole wizard over an old installation, with packages beside the
# program: welcome, detection (found), installing, complete; Finished with
# "Start Aerovin when I click Finished" cleared.
. "$(dirname "$0")/harness.sh" "${1:-}"

pw_start_screen && pw_build_tools && pw_new_prefix "$PW_WORK/prefix" || pw_end
pw_make_installation 'Program Files\AerovinRC' '4.2.c'
pw_make_update_folder || pw_end
pw_start_app

pw_drive wait-host 60 wait-page 139 60 \
  expect-text 1003 "Welcome to the Aerovin R/C Version 5 manual offline updater." \
  expect-text 1002 "Start »" || pw_end
pw_shot 1-welcome
pw_drive click 1002 wait-page 138 30 \
  expect-state 1007 "visible=1 enabled=0" expect-state 1002 "visible=1 enabled=1 check=1" || pw_end
pw_shot 2-detection
# Found: the location replaces the progress bar, Continue becomes enabled.
pw_drive wait-page 138 5 sleep 2000 \
  expect-state 1007 "visible=1 enabled=1" expect-state 1008 "visible=0 enabled=1 position=0" \
  expect-state 1010 "visible=1 enabled=0" expect-text 1010 'C:\Program Files\AerovinRC' \
  expect-state 1006 "visible=1 enabled=1" || true
pw_shot 3-detection-found
# Enter and Escape do nothing on this page; a cleared box is read by Continue.
pw_drive key enter 1009 key escape 1009 sleep 500 wait-page 138 1 \
  click 1012 sleep 300 expect-state 1012 "visible=1 enabled=1 check=0" \
  click 1007 wait-page 134 20 || pw_end
pw_shot 4-installing
pw_drive wait-page 137 40 expect-text 1003 "Aerovin R/C V5 is now installed" \
  expect-state 1014 "visible=1 enabled=1 check=1" || pw_end
pw_shot 5-complete
pw_drive click 1014 sleep 300 expect-state 1014 "visible=1 enabled=1 check=0" click 1012 wait-gone 30 || pw_end
pw_wait_app 30

# The log.
for line in "Found previous installation at C:\\Program Files\\AerovinRC" \
            "  Version detected: 4.2.c" "Installing completed downloads" "Completed downloads installed" \
            "Finishing install process:" "Done"; do
  pw_expect_log_line "$line"
done
pw_log | grep -q "AerovinRC_update1.pkg" || pw_fail "the log does not name the first package"
# The installed files.
pw_expect_file 'C:\Program Files\AerovinRC\AerovinRC.exe' 'new simulator'
pw_expect_file 'C:\Program Files\AerovinRC\AerovinRC.ver' '5.0.r'
pw_expect_file 'C:\Program Files\AerovinRC\resources\data\readme.txt' 'flying sites'
pw_expect_file 'C:\Program Files\AerovinRC\Manuals\guide.txt' 'the guide'
# The uninstall registration.
# A 32-bit program's view of the uninstall key is Wow6432Node's on a 64-bit
# prefix; the entry's path names that view itself.
{ pw_reg_query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s
  pw_reg_query 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall' /s; } > "$PW_WORK/uninstall.txt"
grep -qi 'AerovinRC\|Aerovin' "$PW_WORK/uninstall.txt" || pw_fail "no uninstall registration in the registry"
# The links: the start menu ones, and no desktop links (the box was cleared).
start_menu=$(ls -d "$WINEPREFIX"/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/AerovinRC 2>/dev/null)
[ -n "$start_menu" ] && [ -f "$start_menu/AerovinRC.lnk" ] || pw_fail "no Start-menu link AerovinRC.lnk"
if [ -n "$start_menu" ] && [ -f "$start_menu/AerovinRC.lnk" ]; then
  pw_drive link 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\AerovinRC\AerovinRC.lnk' > "$PW_WORK/link.txt"
  grep -q '^target=C:.Program Files.AerovinRC.AerovinRC.exe' "$PW_WORK/link.txt" ||
    pw_fail "the Start-menu link points elsewhere: $(cat "$PW_WORK/link.txt")"
fi
ls "$WINEPREFIX"/drive_c/users/Public/Desktop/*.lnk >/dev/null 2>&1 && pw_fail "desktop links made although the box was cleared"
pw_end
