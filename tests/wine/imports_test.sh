#!/usr/bin/env bash
# The program is one self-contained file that takes no DLL from the folder it
# is started from: its import table names only the system's own DLLs (zlib is
# linked in), and WINMM.DLL, which the system does not protect as a known DLL,
# is not imported at all: the program takes it from the system folder by its
# full path after restricting the DLL search to the system folder.
. "$(dirname "$0")/harness.sh" "${1:-}"

exe="$PW_BUILD_WIN/src/app_win32/AerovinPatchwell.exe"
[ -f "$exe" ] || { pw_fail "missing: $exe"; pw_end; }

# Known DLLs, and COMCTL32, which the manifest binds to the system's
# side-by-side copy; the C runtime of MinGW is the system's msvcrt.
allowed='^(KERNEL32|USER32|GDI32|ADVAPI32|SHELL32|SHLWAPI|OLE32|OLEAUT32|COMCTL32|msvcrt)\.dll$'

objdump=
for tool in x86_64-w64-mingw32-objdump i686-w64-mingw32-objdump objdump; do
  if command -v "$tool" >/dev/null && "$tool" -p "$exe" >/dev/null 2>&1; then objdump=$tool; break; fi
done
[ -n "$objdump" ] || { pw_fail "no objdump reads $exe"; pw_end; }
"$objdump" -p "$exe" > "$PW_WORK/headers.txt"

# "DLL Name:" lines of the import tables, the delay-loaded ones too.
imports=$(awk '/^The (Import|Delay Import) Tables/ { t = 1 } /^The Export Tables/ { t = 0 }
               t && /DLL Name:/ { print $3 }' "$PW_WORK/headers.txt")
[ -n "$imports" ] || pw_fail "no import table read from $exe"
pw_note "imports: $(echo $imports)"
for dll in $imports; do
  echo "$dll" | grep -qiE "$allowed" || pw_fail "$dll is imported: a DLL of that name beside the program would be taken"
done
echo "$imports" | grep -qi '^WINMM\.dll$' && pw_fail "WINMM.dll is imported: the search would look beside the program"
grep -qi '^WINMM\.dll$' <(strings -a "$exe") && pw_fail "WINMM.dll is named for the DLL search, not by its full path"
pw_end
