#!/usr/bin/env bash
# An update killed while it installs, then run again: the Windows program in
# its silent mode works on a prefix holding an old installation (4.2.b, the
# editor tool, the user's options, calibration, site list, profiles, schemes
# and sites) and, beside the three usual packages, a fourth of some thousands
# of small files, so that installing takes a few seconds. Once the log shows
# that package being installed the program is killed hard (SIGKILL, then its
# Wine server), as a crash or a power cut would end it.
#
# The record of the update must then be there; the next silent run completes
# the update, says so in its log and exits 0. What it leaves must be what one
# uninterrupted run leaves in a copy of the same prefix: the settings carried
# across, the user's own content, the program files and the backup of the
# user's originals; the record and the holding folder are gone.
#
# $1: the repository top. PW_WINE, PW_BUILD_WIN: the Wine loader and the
# Windows build folder. PW_BUILD_NATIVE: the native build whose package tool
# makes the packages (default build/test-native under the top). PW_KEEP=1
# keeps the work folder.
. "$(dirname "$0")/harness.sh" "${1:-}"

PW_BUILD_NATIVE=${PW_BUILD_NATIVE:-$PW_TOP/build/test-native}
packer="$PW_BUILD_NATIVE/tools/patchwell-pack"
for f in "$packer" "$PW_BUILD_WIN/src/app_win32/AerovinPatchwell.exe"; do
  [ -x "$f" ] || [ -f "$f" ] || { pw_fail "missing: $f"; pw_end; }
done
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

base="$PW_WORK/base"          # the prefix as the user has it before the update
killed="$PW_WORK/killed"      # updated, killed, updated again
straight="$PW_WORK/straight"  # updated once, uninterrupted
big_files=1500

killed_cleanup() {
  local prefix
  [ -n "$PW_APP_PID" ] && kill "$PW_APP_PID" 2>/dev/null
  for prefix in "$base" "$killed" "$straight"; do
    [ -d "$prefix" ] && WINEPREFIX=$prefix timeout 20 "$PW_WINESERVER" -k >/dev/null 2>&1
  done
  pw_cleanup
}
trap killed_cleanup EXIT

stop_server() {
  timeout 20 "$PW_WINESERVER" -k >/dev/null 2>&1
  timeout 30 "$PW_WINESERVER" -w >/dev/null 2>&1
  return 0
}

# ---- the prefix ----
pw_start_screen && pw_new_prefix "$base" || pw_end
demo="$PW_WORK/demo"
timeout 120 bash "$PW_TOP/scripts/make-demo-prefix.sh" "$demo" "$PW_WORK/updates" "$packer" >/dev/null ||
  { pw_fail "cannot make the packages"; pw_end; }
demo_c="$demo/drive_c"
demo_home=$(ls -d "$demo_c"/users/*/ | grep -v /Public/ | head -1)
home=$(pw_user_folder)
user=$(basename "$home")
c="$base/drive_c"
mkdir -p "$c/Program Files" "$home/Documents" "$home/AppData/Roaming" \
         "$c/ProgramData/Microsoft/Windows/Start Menu/Programs" "$c/users/Public/Desktop"
cp -a "$demo_c/Program Files (x86)/AerovinRC" "$demo_c/Program Files (x86)/AerovinBuilder" "$c/Program Files/"
cp -a "$demo_home/Documents/AerovinRC" "$demo_home/Documents/AerovinBuilder" "$home/Documents/"
cp -a "$demo_home/AppData/Roaming/AerovinRC" "$home/AppData/Roaming/"
cp -a "$demo_c/ProgramData/Microsoft/Windows/Start Menu/Programs/AerovinRC" \
      "$c/ProgramData/Microsoft/Windows/Start Menu/Programs/"
cp -a "$demo_c/users/Public/Desktop/." "$c/users/Public/Desktop/"

# More of the user's own content, so that there is more to hold and compare.
data="$home/Documents/AerovinRC"
printf 'aileron=ch2\nelevator=ch1\nrudder=ch4\nthrottle=ch3\nflaps=ch6\n' \
  > "$data/Settings/mappingProfiles/Custom/Club trainer.map"
printf 'base=green\ntrim=black\n' > "$data/Schemes/Club scheme.scheme"
printf 'site Hill top\nelevation 410\n' > "$data/Flying sites/Hill top.vrx"

# The fourth package: scenery tiles, a few thousand small files.
tiles="$PW_WORK/tiles/install/resources/scenery"
mkdir -p "$tiles"
for i in $(seq -w 1 "$big_files"); do printf 'tile %s of the scenery\n' "$i" > "$tiles/tile$i.dat"; done
"$packer" create "$PW_WORK/updates/update4.pkg" --root 0="$PW_WORK/tiles/install" \
  --header "Aerovin R/C 5.0 scenery" >/dev/null || { pw_fail "cannot make the scenery package"; pw_end; }
mkdir -p "$c/Update"
cp "$PW_WORK"/updates/*.pkg "$PW_BUILD_WIN/src/app_win32/AerovinPatchwell.exe" "$c/Update/"
stop_server
cp -a "$base" "$killed" && cp -a "$base" "$straight" || { pw_fail "cannot copy the prefix"; pw_end; }

docs_of() { echo "$1/drive_c/users/$user/Documents"; }
log_of() { { tr -d '\r' < "$(docs_of "$1")/AerovinPatchwell.log"; } 2>/dev/null; }
# The log of prefix $1 ends the install: its last line is the closing "Done".
log_ends_install() { [ "$(log_of "$1" | tail -1)" = Done ] && log_of "$1" | grep -qx 'Finishing install process:'; }

# Runs the program silently on prefix $1 to its end; its exit status printed.
run_silent() {
  export WINEPREFIX=$1
  (cd "$1/drive_c/Update" && timeout 300 "$PW_WINE" 'C:\Update\AerovinPatchwell.exe' /unattended \
     > /dev/null 2> "$PW_WORK/silent.err")
  local status=$?
  stop_server
  echo "$status"
}

# The processes of the program running in prefix $1: those whose command line
# names it and whose environment names that prefix (other prefixes may be in
# use on the same machine).
program_pids() {
  local pid
  for pid in $(pgrep -f 'AerovinPatchwell\.exe'); do
    tr '\0' '\n' < "/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$1" && echo "$pid"
  done
}

# ---- the uninterrupted update ----
status=$(run_silent "$straight")
[ "$status" = 0 ] || pw_fail "the uninterrupted run ended with $status ($(tr -d '\r' < "$PW_WORK/silent.err"))"
log_ends_install "$straight" || pw_fail "the uninterrupted run's log does not end the install"

# ---- the update killed while it installs the scenery ----
export WINEPREFIX=$killed
(cd "$killed/drive_c/Update" && exec timeout 300 "$PW_WINE" 'C:\Update\AerovinPatchwell.exe' /unattended \
   > /dev/null 2> "$PW_WORK/killed.err") &
PW_APP_PID=$!
seen=0
for _ in $(seq 1 1200); do
  if log_of "$killed" | grep -q '^Installing: .*update4\.pkg'; then seen=1; break; fi
  kill -0 "$PW_APP_PID" 2>/dev/null || break
  sleep 0.05
done
ended_first=0
kill -0 "$PW_APP_PID" 2>/dev/null || ended_first=1
pids=$(program_pids "$killed")
# The shell's note that its job was killed is no finding: it is kept quiet.
{
  [ -n "$pids" ] && kill -9 $pids
  timeout 20 "$PW_WINESERVER" -k >/dev/null
  wait "$PW_APP_PID"
} 2>/dev/null
PW_APP_PID=
timeout 30 "$PW_WINESERVER" -w >/dev/null 2>&1
if [ "$seen" = 0 ]; then
  pw_fail "the log never showed the scenery package being installed$([ "$ended_first" = 1 ] && echo ': the program ended first')"
  log_of "$killed" | tail -5
  pw_end
fi
if [ "$ended_first" = 1 ] || log_ends_install "$killed"; then
  pw_fail "the update finished before it was killed: the scenery package is too small to be caught"
  pw_end
fi
[ -z "$pids" ] && pw_note "no process of the program was found to kill"
record="$(docs_of "$killed")/AerovinPatchwell.update"
[ -f "$record" ] || pw_fail "no record of the update after the kill"
[ -d "$(docs_of "$killed")/AerovinTemp" ] || pw_fail "no holding folder after the kill"
installed=$(ls "$killed/drive_c/Program Files/AerovinRC/resources/scenery" 2>/dev/null | wc -l)
pw_note "killed with $installed of $big_files scenery files installed"

# ---- the run that completes it ----
status=$(run_silent "$killed")
[ "$status" = 0 ] || pw_fail "the run after the kill ended with $status ($(tr -d '\r' < "$PW_WORK/silent.err"))"
log_of "$killed" | grep -q '^Completing an interrupted update of version 4\.2\.b$' ||
  pw_fail "the log does not say that an interrupted update is completed"
log_ends_install "$killed" || pw_fail "the log of the run after the kill does not end the install"
[ -e "$record" ] && pw_fail "the record of the update is still there"
[ -e "$(docs_of "$killed")/AerovinTemp" ] && pw_fail "the holding folder is still there"

# The settings carried across and the user's own content, named one by one so
# that a difference says what it is about (under drive_c: the options,
# calibration and profiles in the user data, the user's schemes and sites
# among the downloads, the site list beside the program).
docs="users/$user/Documents/AerovinRC"
settings=("$docs/Settings/options.sim" "$docs/Settings/controller_0.vxt"
          "Program Files/AerovinRC/resources/data/installed.dat"
          "$docs/Settings/mappingProfiles/Custom/My transmitter.map"
          "$docs/Settings/mappingProfiles/Custom/Club trainer.map"
          "$docs/Downloaded/Schemes/User-made/Sunset scheme.scheme"
          "$docs/Downloaded/Schemes/User-made/Club scheme.scheme"
          "$docs/Downloaded/Sites/User-made/My strip.vrx" "$docs/Downloaded/Sites/User-made/Hill top.vrx")
for f in "${settings[@]}"; do
  a="$killed/drive_c/$f"
  b="$straight/drive_c/$f"
  if [ ! -f "$b" ]; then pw_fail "the uninterrupted run left no $f"
  elif [ ! -f "$a" ]; then pw_fail "the run after the kill left no $f"
  elif ! cmp -s "$a" "$b"; then pw_fail "$f differs from the uninterrupted run's:"; diff <(od -c "$a") <(od -c "$b") | head -10
  fi
done

# The user's own options, not the package's, were carried across.
grep -q 'default_simulationSpeed = 0.8' "$killed/drive_c/$docs/Settings/options.sim" 2>/dev/null ||
  pw_fail "the user's options were not carried across the interrupted update"

# Every file the update owns or touches, with a digest of its contents; a link
# only by its name (a link records the times of its target).
tree_of() {
  local c=$1/drive_c
  (cd "$c" && find "Program Files/AerovinRC" "Program Files/AerovinBuilder" "users/$user/Documents" \
                   "users/$user/AppData/Roaming/AerovinRC" "ProgramData/Microsoft/Windows/Start Menu/Programs/AerovinRC" \
                   "users/Public/Desktop" -type f ! -name AerovinPatchwell.log 2>/dev/null | LC_ALL=C sort) |
    while IFS= read -r f; do
      case "$f" in
        *.lnk) echo "$f (link)" ;;
        *) echo "$f $(sha256sum < "$c/$f" | cut -c1-16)" ;;
      esac
    done
}
tree_of "$killed" > "$PW_WORK/killed.files"
tree_of "$straight" > "$PW_WORK/straight.files"
if ! diff -u --label "after the kill" --label "uninterrupted" "$PW_WORK/killed.files" "$PW_WORK/straight.files" \
     > "$PW_WORK/files.diff"; then
  pw_fail "the files differ from the uninterrupted run's:"
  head -40 "$PW_WORK/files.diff"
fi

# The backups hold the user's originals, as they were before the first run.
for folder in AerovinRC AerovinBuilder; do
  diff -r "$(docs_of "$base")/$folder" "$(docs_of "$killed")/${folder}_backup" > "$PW_WORK/backup.diff" 2>&1 ||
    { pw_fail "${folder}_backup does not hold the originals:"; head -10 "$PW_WORK/backup.diff"; }
done
pw_end
