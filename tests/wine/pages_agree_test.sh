#!/usr/bin/env bash
# The two builds agree on every page, control by control. The Windows program
# goes through each state a user meets under Wine, and at each the driver
# reads every control of the page shown (id, class, rectangle in dialog units,
# visible, enabled, check, progress position, text); the headless backend's
# dumps of the same states come from the native unit test that writes them
# (PageDumpsTest, into PW_PAGE_DUMPS). Any differing line fails the scenario.
# The states: welcome; the search running; an installation found; the exit
# question (its text) and the page after it was answered No; installing;
# complete; no installation found; a version out of range (the failure).
# Pictures of each state are kept beside the other scenarios' pictures.
#
# $1: the repository top. PW_WINE, PW_BUILD_WIN: the Wine loader and the
# Windows build folder. PW_BUILD_NATIVE: the native build (default
# build/test-native under the top).
. "$(dirname "$0")/harness.sh" "${1:-}"

PW_BUILD_NATIVE=${PW_BUILD_NATIVE:-$PW_TOP/build/test-native}
unit_tests="$PW_BUILD_NATIVE/tests/pw_tests"
[ -x "$unit_tests" ] || { pw_fail "missing: $unit_tests"; pw_end; }

headless="$PW_WORK/headless"
windows="$PW_WORK/windows"
mkdir -p "$headless" "$windows"
PW_PAGE_DUMPS=$headless timeout 120 "$unit_tests" --gtest_filter='PageDumpsTest.*' > "$PW_WORK/unit.out" 2>&1 ||
  { pw_fail "the headless dumps failed: $(tail -20 "$PW_WORK/unit.out")"; pw_end; }

# The driver's dump in the headless dump's form. Differences allowed, both
# inherent to real windows:
#  - the style word the driver adds is left out (the styles are checked
#    against the layouts by the resource tests);
#  - a picture's template gives no size (it takes its bitmap's), so the size
#    of every picture (SS_BITMAP, style low bits 0E) is left out on both sides,
#    the headless side recognising them by their size 0,0; and a picture's
#    window text is its bitmap's resource number, which the headless backend
#    keeps apart (imageId), so the Windows side's is left out too.
pages_from_driver() {
  sed -E '/^page /d' | awk '{
      style = $4
      size_unknown = (substr(style, 7, 2) == "0E" || substr(style, 7, 2) == "4E") && $2 == "Static"
      $4 = ""
      line = $0
      sub(/  /, " ", line)
      if (size_unknown) {
        sub(/\[[0-9-]+,[0-9-]+,[0-9-]+,[0-9-]+\]/, "[" pos(line) ",-,-]", line)
        sub(/ ".*"$/, " \"\"", line)
      }
      print line
    }
    function pos(l,   r) { match(l, /\[[0-9-]+,[0-9-]+,/); r = substr(l, RSTART + 1, RLENGTH - 2); return r }'
}
pages_from_headless() { sed -E 's/\[([0-9-]+),([0-9-]+),0,0\]/[\1,\2,-,-]/'; }

# The two states read against the clock (see below) missed: the search had
# ended (Continue enabled) or held the page's thread (texts unreadable), or
# the packages were already being looked at.
pages_late() {
  local raw="$windows/$1.raw"
  case "$1" in
    2-searching) grep -q '^1007 .* enabled=1 ' "$raw" || grep -q '^1003 .* ""$' "$raw" ;;
    4-installing) ! grep -q '^1006 .* visible=1 enabled=1 "Initialising installation\.\.\."$' "$raw" ;;
    *) return 1 ;;
  esac
}

# Runs the driver's commands $2... ending on a dump of the page shown as
# state $1, and compares that with the headless dump.
pages_check() {
  local state=$1
  shift
  pw_drive "$@" dump > "$windows/$state.raw" || return 1
  pages_from_driver < "$windows/$state.raw" > "$windows/$state.txt"
  pages_from_headless < "$headless/$state.txt" > "$PW_WORK/$state.headless"
  if ! diff -u --label "$state (headless)" --label "$state (Windows)" \
       "$PW_WORK/$state.headless" "$windows/$state.txt" > "$PW_WORK/$state.diff"; then
    if pages_late "$state"; then
      pw_note "$state: the program had moved on before the page was read"
      return 2
    fi
    pw_fail "$state: the pages differ:"
    cat "$PW_WORK/$state.diff"
  else
    pw_note "$state: $(wc -l < "$windows/$state.txt") controls agree"
  fi
  pw_shot "$state"
}

# A new prefix at $1 with the program and its packages, and an installation
# of version $2 unless it is empty ("none").
pages_start() {
  [ -n "$PW_APP_PID" ] && { kill "$PW_APP_PID" 2>/dev/null; PW_APP_PID=; }
  [ -n "${WINEPREFIX:-}" ] && timeout 20 "$PW_WINESERVER" -k >/dev/null 2>&1
  pw_new_prefix "$1" || return 1
  [ "$2" = none ] || pw_make_installation 'Program Files\AerovinRC' "$2"
  pw_make_update_folder || return 1
  pw_start_app
  pw_drive wait-host 60 wait-page 139 60
}

pw_start_screen && pw_build_tools || pw_end

# ---- an installation found: every page of the way to the end ----
# Two states are read against the clock: the search starts 250 ms after the
# detection page opens and holds the page's thread until it ends, and the
# packages are looked for 250 ms after the installing page opens. Each is
# read at once, in the driver call that opened its page; when the program
# had moved on all the same (a busy machine), the way is gone again from a
# new prefix, three times at most. A page that is read in time and differs
# fails at once.
pages_found_way() {
  pages_start "$PW_WORK/found$1" '4.2.c' || return 1
  pages_check 1-welcome || return $?
  pages_check 2-searching click 1002 wait-page 138 30 || return $?
  # The search ends when Continue becomes enabled.
  for _ in $(seq 1 60); do
    timeout 60 "$PW_WINE" 'C:\Tools\pw_driver.exe' expect-state 1007 "visible=1 enabled=1" >/dev/null 2>&1 && break
    sleep 1
  done
  pages_check 3-found || return $?
  pw_drive click 1001 sleep 1000 || return 1
  pw_shot 8-exit-question
  question=$(pw_drive answer no 20) || return 1
  expected=$(sed -n 2p "$headless/8-exit-question.txt")
  [ "$question" = "$expected" ] || pw_fail "the exit question reads \"$question\", headless \"$expected\""
  [ "$(sed -n 1p "$headless/8-exit-question.txt")" = "Installing not complete" ] ||
    pw_fail "the headless exit question's caption is $(sed -n 1p "$headless/8-exit-question.txt")"
  pages_check 3-found-after-no sleep 500 wait-page 138 5 || return $?
  pages_check 4-installing click 1007 wait-page 134 30 || return $?
  pages_check 5-complete wait-page 137 60 || return $?
  pw_drive click 1014 sleep 300 click 1012 wait-gone 30 >/dev/null
  pw_wait_app 30
}
for attempt in 1 2 3; do
  pages_found_way "$attempt"
  status=$?
  [ "$status" -eq 2 ] || break
  [ "$attempt" -lt 3 ] || pw_fail "the timed states were never read in time"
done
[ "$status" -eq 1 ] && pw_end

# ---- no installation anywhere ----
pages_start "$PW_WORK/none" none || pw_end
pages_check 6-not-found click 1002 wait-page 136 120
pw_drive click 1012 wait-gone 30 >/dev/null
pw_wait_app 30

# ---- a version out of range ----
pages_start "$PW_WORK/range" '5.1.a' || pw_end
pages_check 7-failure click 1002 wait-page 138 30 sleep 1500 expect-state 1007 "visible=1 enabled=1" \
  click 1007 wait-page 136 30
pw_drive click 1012 wait-gone 30 >/dev/null
pw_wait_app 30
pw_end
