#!/usr/bin/env bash
# A zlib1.dll and a winmm.dll planted in the folder the program is started
# from, each writing "<name>.loaded" beside itself when a process loads it:
# the program takes neither, in silent mode or as the wizard. A plain program
# that imports WINMM.DLL the ordinary way, started from the same folder, does
# take the planted one: the check can see a load.
. "$(dirname "$0")/harness.sh" "${1:-}"

exe="$PW_BUILD_WIN/src/app_win32/AerovinPatchwell.exe"
pe_at=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe_at + 4)) -N2 "$exe" | tr -d ' ')
if [ "$machine" = 8664 ]; then cc=x86_64-w64-mingw32-gcc; else cc=i686-w64-mingw32-gcc; fi
# As on Windows, a winmm.dll in the program's folder comes before the
# system's copy. zlib1.dll keeps Wine's own order (its builtin first): Wine's
# own DLLs import it, so with the planted one first Wine itself would take it,
# whatever the program does; that the program imports no zlib1.dll is the
# import test's.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winmm=n,b"
# A marker's name is the module's as the loader spelled it (WINMM.dll.loaded).
planted_loaded() { ls "$update" | grep -qix "$1\.dll\.loaded"; }

pw_start_screen && pw_build_tools && pw_new_prefix "$PW_WORK/prefix" || pw_end
pw_make_installation 'Program Files\AerovinRC' '4.2.c'
pw_make_update_folder || pw_end
update=$(pw_host 'C:\Update')
for dll in zlib1 winmm; do
  "$cc" -shared -O1 -o "$update/$dll.dll" "$PW_TOP/tests/wine/fixture/planted_dll.c" -Wl,--kill-at ||
    { pw_fail "cannot build the planted $dll.dll"; pw_end; }
done
"$cc" -O1 -o "$PW_WORK/plain_importer.exe" "$PW_TOP/tests/wine/fixture/plain_importer.c" -lwinmm ||
  { pw_fail "cannot build the plain importer"; pw_end; }

# The program in silent mode: the whole update, with every WINMM call.
(cd "$update" && timeout 300 "$PW_WINE" 'C:\Update\AerovinPatchwell.exe' /unattended >/dev/null 2>&1)
status=$?
timeout 30 "$PW_WINESERVER" -w >/dev/null 2>&1
[ "$status" -eq 0 ] || pw_fail "the silent run ended with status $status"
pw_expect_file 'C:\Program Files\AerovinRC\AerovinRC.exe' 'new simulator'
# The wizard: started, then left at the welcome page.
pw_start_app
pw_drive wait-host 60 wait-page 139 60 || pw_end
kill "$PW_APP_PID" 2>/dev/null
timeout 20 "$PW_WINESERVER" -k >/dev/null 2>&1
PW_APP_PID=
for dll in zlib1 winmm; do
  planted_loaded "$dll" && pw_fail "the program loaded the planted $dll.dll"
done

# The control: an ordinary importer takes the planted winmm.dll.
cp "$PW_WORK/plain_importer.exe" "$update/"
(cd "$update" && timeout 60 "$PW_WINE" 'C:\Update\plain_importer.exe' >/dev/null 2>&1)
timeout 30 "$PW_WINESERVER" -w >/dev/null 2>&1
planted_loaded winmm || pw_fail "the plain importer did not load the planted winmm.dll: the check sees nothing"
pw_end
