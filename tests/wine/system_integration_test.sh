#!/usr/bin/env bash
# Wine reads what the native program wrote into a prefix: the uninstall entry
# and the firewall list through `reg query`, the removed registrations gone,
# and the shell links through its own IShellLinkA.
# $1: the repository top. PW_WINE, PW_BUILD_WIN: the wine loader and the
# Windows build folder (exported by scripts/test.sh).
set -u -o pipefail
top=${1:?repository top}
wine=${PW_WINE:-/usr/lib/wine/wine64}
reader="${PW_BUILD_WIN:?Windows build folder}/tests/win32/lnk_reader/lnk_reader.exe"
native="${PW_BUILD_NATIVE:-$top/build/test-native}/tests/pw_tests"
for f in "$reader" "$native"; do
  [ -x "$f" ] || [ -f "$f" ] || { echo "missing: $f"; exit 1; }
done

prefix=$(mktemp -d -t pw-roundtrip-XXXXXX)
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k >/dev/null 2>&1; [ -n "${PW_KEEP_PREFIX:-}" ] || rm -rf "$prefix"; }
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

wow='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'
list='HKLM\System\CurrentControlSet\Services\SharedAccess\Parameters\FirewallPolicy\StandardProfile\AuthorizedApplications\List'
"$wine" wineboot --init >/dev/null 2>&1
# Earlier registrations for the clean-up to find, one of them nested.
"$wine" reg add "$wow\\OldAerovin" /v DisplayName /d AerovinRC /f >/dev/null 2>&1
"$wine" reg add "$wow\\Unrelated" /v DisplayName /d "Aerovin R/C" /f >/dev/null 2>&1
"$wine" reg add 'HKCR\Installer\Products\0123ABC\SourceList\Media' /v x /d y /f >/dev/null 2>&1
"$wine" reg add 'HKCR\Installer\Products\0123ABC' /v ProductName /d AerovinRC /f >/dev/null 2>&1
"$wine" reg add "$list" /v 'C:\Games\Aerovin RC\Simulator.exe' \
  /d 'C:\Games\Aerovin RC\Simulator.exe:*:Disabled:Old name' /f >/dev/null 2>&1
# While the wineserver runs, the native program refuses the prefix.
PW_BUSY_PREFIX="$prefix" "$native" --gtest_filter='WineRoundTrip.Refuses*' >"$prefix/busy.log" 2>&1 \
  || { cat "$prefix/busy.log"; fail "a busy prefix was not refused"; }
grep -q '^\[  SKIPPED \]' "$prefix/busy.log" && fail "the wineserver had already gone"
# The wineserver writes the registry when it exits; only then may we write it.
wineserver -w

PW_ROUND_TRIP_PREFIX="$prefix" "$native" --gtest_filter='WineRoundTrip.*' >"$prefix/native.log" 2>&1 \
  || { cat "$prefix/native.log"; fail "native run"; }

query() { "$wine" reg query "$@" 2>/dev/null | tr -d '\r'; }
entry=$(query "$wow\\AerovinRC")
for expected in 'DisplayName    REG_SZ    Aerovin R/C' 'Publisher    REG_SZ    Quenlow Ltd' \
  'DisplayVersion    REG_SZ    5.0.p' 'DisplayIcon    REG_SZ    C:\Games\Aerovin RC/AerovinRC.exe' \
  'UninstallString    REG_SZ    "C:\users\'; do
  grep -qF "$expected" <<<"$entry" || fail "uninstall entry lacks: $expected"
done
grep -qF '/AerovinRC/Uninstall.exe" "C:\Games\Aerovin RC"' <<<"$entry" || fail "UninstallString: $entry"
query "$wow\\OldAerovin" >/dev/null && fail "OldAerovin was not removed"
query 'HKCR\Installer\Products\0123ABC' >/dev/null && fail "the product key was not removed"
query "$wow\\Unrelated" >/dev/null || fail "Unrelated was removed"
firewall=$(query "$list")
grep -qF 'C:\Games\Aerovin RC\Simulator.exe:*:Enabled:Aerovin R/C' <<<"$firewall" || fail "firewall: $firewall"
grep -qF 'C:\Games\Aerovin RC\AerovinRC.exe:*:Enabled:Aerovin R/C' <<<"$firewall" || fail "firewall: $firewall"

read_link() { "$wine" "$reader" "$1" 2>/dev/null | tr -d '\r'; }
programs='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\AerovinRC'
link=$(read_link "$programs\\Uninstall.lnk")
[ "$link" = $'path: C:\\users\\'"$(ls "$prefix/drive_c/users" | grep -vx Public | head -1)"$'\\AppData\\Roaming\\AerovinRC\\Uninstall.exe\ndescription: Uninstall Aerovin R/C\narguments: "C:\\Games\\Aerovin RC"' ] \
  || fail "Uninstall.lnk reads: $link"
link=$(read_link "$programs\\User Guide\\France.lnk")
[ "$link" = $'path: C:\\Games\\Aerovin RC\\resources\\manual\\aerovin_usermanual_v3_FR.pdf\ndescription: French user guide\narguments: ' ] \
  || fail "France.lnk reads: $link"
link=$(read_link 'C:\users\Public\Desktop\Aerovin Builder.lnk')
[ "$link" = $'path: C:\\Games\\Aerovin Builder\\AerovinBuilder.exe\ndescription: Launch Aerovin Builder\narguments: ' ] \
  || fail "desktop link reads: $link"

[ "$failures" -eq 0 ] && echo "system integration round trip: ok"
[ "$failures" -eq 0 ]
