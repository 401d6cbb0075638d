# Shared steps of the end-to-end scenarios: sourced by tests/wine/*_test.sh.
#
# Each scenario runs AerovinPatchwell.exe in a Wine prefix of its own on a
# virtual X screen, plays the user with pw_driver, then reads back the log,
# the files, the registry and the links. Every step has a time limit and the
# scenario's processes (the program, Wine's server, the X server) are ended
# on every way out, so a stuck step fails the scenario instead of hanging.
#
# From the test command: PW_WINE (the Wine loader), PW_BUILD_WIN (the Windows
# build to test). Pictures of the pages go to $PW_BUILD_WIN/artifacts/pages.

set -u
PW_TOP=$(cd "${1:-$(dirname "${BASH_SOURCE[0]}")/../..}" && pwd)
PW_WINE=${PW_WINE:-/usr/lib/wine/wine64}
PW_BUILD_WIN=${PW_BUILD_WIN:-$PW_TOP/build/win64}
PW_WINESERVER=${PW_WINESERVER:-$(dirname "$PW_WINE")/wineserver}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
PW_SCENARIO=$(basename "$0" _test.sh)
PW_WORK=$(mktemp -d "${TMPDIR:-/tmp}/pw-e2e-$PW_SCENARIO-XXXXXX")
PW_ARTIFACTS="$PW_BUILD_WIN/artifacts/pages"
PW_FAILURES=0
PW_APP_PID=
PW_XVFB_PID=
mkdir -p "$PW_ARTIFACTS"

pw_note() { echo "[$PW_SCENARIO] $*"; }
pw_fail() { echo "[$PW_SCENARIO] FAIL: $*"; PW_FAILURES=$((PW_FAILURES + 1)); }

pw_cleanup() {
  [ -n "$PW_APP_PID" ] && kill "$PW_APP_PID" 2>/dev/null
  if [ -n "${WINEPREFIX:-}" ]; then timeout 20 "$PW_WINESERVER" -k >/dev/null 2>&1; fi
  [ -n "$PW_XVFB_PID" ] && kill "$PW_XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  [ -n "${PW_KEEP:-}" ] && echo "kept $PW_WORK" || rm -rf "$PW_WORK"
}
trap pw_cleanup EXIT

# A virtual screen large enough for the host window.
pw_start_screen() {
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
    PW_XVFB_PID=$!
    for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    if kill -0 "$PW_XVFB_PID" 2>/dev/null; then export DISPLAY=":$n"; return 0; fi
  done
  pw_fail "no virtual screen could be started"
  return 1
}

# The tools of the build machine that make the fixtures.
pw_build_tools() {
  c++ -std=c++20 -O1 -I"$PW_TOP/src" "$PW_TOP/tests/wine/fixture/make_package.cpp" \
    "$PW_TOP/src/packages/writer/package_writer.cpp" -lz -o "$PW_WORK/make_package" ||
    { pw_fail "cannot build make_package"; return 1; }
}

# A fresh prefix at $1 whose user folders are folders of its own (not links
# to the home folder) and whose only drive is C:, so that nothing outside the
# prefix is searched or written.
pw_new_prefix() {
  local prefix=$1
  export WINEPREFIX=$prefix
  timeout 180 "$PW_WINE" wineboot --init >/dev/null 2>&1 || { pw_fail "wineboot did not finish"; return 1; }
  timeout 30 "$PW_WINESERVER" -w >/dev/null 2>&1
  local link
  for link in "$prefix"/drive_c/users/*/*; do
    [ -L "$link" ] || continue
    rm -f "$link" && mkdir -p "$link"
  done
  rm -f "$prefix/dosdevices/z:"
  mkdir -p "$prefix/drive_c/Tools"
  cp "$PW_BUILD_WIN/tests/win32/driver/pw_driver.exe" "$prefix/drive_c/Tools/"
}

# The host path of a Windows path C:\... in the prefix in use.
pw_host() { echo "$WINEPREFIX/drive_c/$(echo "${1#C:\\}" | tr '\\' '/')"; }

pw_user_folder() { ls -d "$WINEPREFIX"/drive_c/users/*/ | grep -v /Public/ | head -1; }

# An installation of version $2 (no version file when empty) at C:\$1.
pw_make_installation() {
  local folder
  folder=$(pw_host "C:\\$1")
  mkdir -p "$folder/Settings"
  printf 'old simulator' > "$folder/AerovinRC.exe"
  [ -n "$2" ] && printf '%s\n' "$2" > "$folder/AerovinRC.ver"
  return 0
}

# The program and two packages in C:\Update.
pw_make_update_folder() {
  local update
  update=$(pw_host 'C:\Update')
  mkdir -p "$update"
  cp "$PW_BUILD_WIN/src/app_win32/AerovinPatchwell.exe" "$update/"
  "$PW_WORK/make_package" "$update/AerovinRC_update1.pkg" \
    '0|AerovinRC.exe|new simulator' '0|AerovinRC.ver|5.0.r' '0|resources/data/readme.txt|flying sites' ||
    { pw_fail "cannot make the packages"; return 1; }
  "$PW_WORK/make_package" "$update/AerovinRC_update2.pkg" '0|Manuals/guide.txt|the guide' ||
    { pw_fail "cannot make the packages"; return 1; }
}

pw_start_app() {
  (cd "$(pw_host 'C:\Update')" && exec timeout 600 "$PW_WINE" 'C:\Update\AerovinPatchwell.exe' >/dev/null 2>&1) &
  PW_APP_PID=$!
}

# Waits up to $1 seconds for the program to end.
pw_wait_app() {
  local waited=0
  while kill -0 "$PW_APP_PID" 2>/dev/null; do
    [ "$waited" -ge "$(( $1 * 10 ))" ] && { pw_fail "the program did not end"; return 1; }
    sleep 0.1
    waited=$((waited + 1))
  done
  PW_APP_PID=
  timeout 30 "$PW_WINESERVER" -w >/dev/null 2>&1
  return 0
}

# The driver with its commands; its output on stdout.
pw_drive() {
  timeout 180 "$PW_WINE" 'C:\Tools\pw_driver.exe' "$@" 2> "$PW_WORK/driver.err" | tr -d '\r'
  local status=${PIPESTATUS[0]}
  [ "$status" -eq 0 ] || { pw_fail "driver ($*): $(tr -d '\r' < "$PW_WORK/driver.err")"; return 1; }
}

pw_shot() {
  import -window root "$PW_ARTIFACTS/$PW_SCENARIO-$1.png" 2>/dev/null || pw_note "no picture of $1"
}

pw_log() { tr -d '\r' < "$(pw_user_folder)Documents/AerovinPatchwell.log" 2>/dev/null; }

pw_expect_log_line() {
  pw_log | grep -qxF -- "$1" || pw_fail "the log has no line: $1"
}

pw_expect_file() {
  local host
  host=$(pw_host "$1")
  [ -f "$host" ] || { pw_fail "no file $1"; return; }
  [ -z "${2+x}" ] || [ "$(cat "$host")" = "$2" ] || pw_fail "$1 holds \"$(cat "$host")\", expected \"$2\""
}

pw_reg_query() { timeout 60 "$PW_WINE" reg query "$@" 2>/dev/null | tr -d '\r'; }

# Stops the server of the prefix in use and waits until it has written the
# registry back.
pw_stop_server() {
  timeout 20 "$PW_WINESERVER" -k >/dev/null 2>&1
  timeout 30 "$PW_WINESERVER" -w >/dev/null 2>&1
  return 0
}

# The old installation of the demo (4.2.b, the editor tool beside it, the
# user's options, calibration, site list, profiles, schemes and sites, old
# links) planted in the fresh prefix $1, with the demo's three packages and
# the Windows program in C:\Update. $2: the package tool. Sets home and user
# (the prefix's user folder and name) and PW_PACKAGES (the packages' folder).
pw_plant_demo_installation() {
  local prefix=$1 packer=$2 demo="$PW_WORK/demo"
  PW_PACKAGES="$PW_WORK/updates"
  timeout 120 bash "$PW_TOP/scripts/make-demo-prefix.sh" "$demo" "$PW_PACKAGES" "$packer" >/dev/null ||
    { pw_fail "cannot make the packages"; return 1; }
  local demo_c="$demo/drive_c" demo_home c="$prefix/drive_c"
  demo_home=$(ls -d "$demo_c"/users/*/ | grep -v /Public/ | head -1)
  home=$(WINEPREFIX=$prefix pw_user_folder)
  user=$(basename "$home")
  mkdir -p "$c/Program Files" "$home/Documents" "$home/AppData/Roaming" \
           "$c/ProgramData/Microsoft/Windows/Start Menu/Programs" "$c/users/Public/Desktop" "$c/Update"
  cp -a "$demo_c/Program Files (x86)/AerovinRC" "$demo_c/Program Files (x86)/AerovinBuilder" "$c/Program Files/" &&
  cp -a "$demo_home/Documents/AerovinRC" "$demo_home/Documents/AerovinBuilder" "$home/Documents/" &&
  cp -a "$demo_home/AppData/Roaming/AerovinRC" "$home/AppData/Roaming/" &&
  cp -a "$demo_c/ProgramData/Microsoft/Windows/Start Menu/Programs/AerovinRC" \
        "$c/ProgramData/Microsoft/Windows/Start Menu/Programs/" &&
  cp -a "$demo_c/users/Public/Desktop/." "$c/users/Public/Desktop/" &&
  cp "$PW_PACKAGES"/*.pkg "$PW_BUILD_WIN/src/app_win32/AerovinPatchwell.exe" "$c/Update/" ||
    { pw_fail "cannot plant the old installation"; return 1; }
}

# A fourth package of $2 small scenery files at $1, so that installing it
# takes a while and an update can be caught in the middle of it. $3: the
# package tool.
pw_make_scenery_package() {
  local tiles="$PW_WORK/tiles/install/resources/scenery" i
  mkdir -p "$tiles"
  for i in $(seq -w 1 "$2"); do printf 'tile %s of the scenery\n' "$i" > "$tiles/tile$i.dat"; done
  "$3" create "$1" --root 0="$PW_WORK/tiles/install" --header "Aerovin R/C 5.0 scenery" >/dev/null ||
    { pw_fail "cannot make the scenery package"; return 1; }
}

# The log of the update in prefix $1, without carriage returns.
pw_log_of() { { tr -d '\r' < "$(WINEPREFIX=$1 pw_user_folder)Documents/AerovinPatchwell.log"; } 2>/dev/null; }

# The processes whose command line matches $2 and whose environment names
# the prefix $1 (other prefixes may be in use on the same machine).
pw_pids_in_prefix() {
  local pid
  for pid in $(pgrep -f "$2"); do
    tr '\0' '\n' < "/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$1" && echo "$pid"
  done
}

# Waits until the log of prefix $1 has a line matching $2 while the job $3
# runs, then kills the processes matching $4 in that prefix hard (SIGKILL,
# then its Wine server), as a crash or a power cut would end them. Prints
# "seen" when the line was there before the kill, "ended" when the job ended
# first, "never" otherwise. The caller disowns the job first: the shell's
# note that it was killed would be no finding.
pw_kill_when_logged() {
  local prefix=$1 line=$2 job=$3 pattern=$4 outcome=never pids
  for _ in $(seq 1 2400); do
    if pw_log_of "$prefix" | grep -q -- "$line"; then outcome=seen; break; fi
    kill -0 "$job" 2>/dev/null || { outcome=ended; break; }
    sleep 0.05
  done
  pids=$(pw_pids_in_prefix "$prefix" "$pattern")
  {
    [ -n "$pids" ] && kill -9 $pids
    WINEPREFIX=$prefix timeout 20 "$PW_WINESERVER" -k >/dev/null
  } 2>/dev/null
  WINEPREFIX=$prefix timeout 30 "$PW_WINESERVER" -w >/dev/null 2>&1
  [ "$outcome" = seen ] && [ -z "$pids" ] && outcome=unkilled
  echo "$outcome"
}

pw_end() {
  if [ "$PW_FAILURES" -eq 0 ]; then pw_note "passed"; exit 0; fi
  pw_note "$PW_FAILURES failures"
  exit 1
}
