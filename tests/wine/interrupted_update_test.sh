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

# ---- the prefix ----
pw_start_screen && pw_new_prefix "$base" && pw_plant_demo_installation "$base" "$packer" || pw_end
c="$base/drive_c"

# More of the user's own content, so that there is more to hold and compare.
data="$home/Documents/AerovinRC"
printf 'aileron=ch2\nelevator=ch1\nrudder=ch4\nthrottle=ch3\nflaps=ch6\n' \
  > "$data/Settings/mappingProfiles/Custom/Club trainer.map"
printf 'base=green\ntrim=black\n' > "$data/Schemes/Club scheme.scheme"
printf 'site Hill top\nelevation 410\n' > "$data/Flying sites/Hill top.vrx"

# The fourth package: scenery tiles, a few thousand small files.
pw_make_scenery_package "$c/Update/update4.pkg" "$big_files" "$packer" || pw_end
pw_stop_server
cp -a "$base" "$killed" && cp -a "$base" "$straight" || { pw_fail "cannot copy the prefix"; pw_end; }

docs_of() { echo "$1/drive_c/users/$user/Documents"; }
log_of() { pw_log_of "$1"; }
# The log of prefix $1 ends the install: its last line is the closing "Done".
log_ends_install() { [ "$(log_of "$1" | tail -1)" = Done ] && log_of "$1" | grep -qx 'Finishing install process:'; }

# Runs the program silently on prefix $1 to its end; its exit status printed.
run_silent() {
  export WINEPREFIX=$1
  (cd "$1/drive_c/Update" && timeout 300 "$PW_WINE" 'C:\Update\AerovinPatchwell.exe' /unattended \
     > /dev/null 2> "$PW_WORK/silent.err")
  local status=$?
  pw_stop_server
  echo "$status"
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
disown "$PW_APP_PID"  # killed on purpose: the shell's note of it would be no finding
outcome=$(pw_kill_when_logged "$killed" '^Installing: .*update4\.pkg' "$PW_APP_PID" 'AerovinPatchwell\.exe')
PW_APP_PID=
if [ "$outcome" = never ] || [ "$outcome" = ended ]; then
  pw_fail "the log never showed the scenery package being installed$([ "$outcome" = ended ] && echo ': the program ended first')"
  log_of "$killed" | tail -5
  pw_end
fi
if log_ends_install "$killed"; then
  pw_fail "the update finished before it was killed: the scenery package is too small to be caught"
  pw_end
fi
[ "$outcome" = unkilled ] && pw_note "no process of the program was found to kill"
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
