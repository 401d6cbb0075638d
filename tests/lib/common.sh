# Shared steps of the scripts that drive the native program whole: sourced by
# tests/scripts/*_test.sh (and, for the user folders, by the Wine scenarios'
# harness). Each script calls pw_work first and ends with pw_result.

# A work folder of the script's own, removed on every way out.
pw_work() {
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  failures=0
}

# One failure, counted and shown.
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# check DESCRIPTION command...: a failure unless the command succeeds.
check() {
  local what=$1
  shift
  "$@" || fail "$what"
}

# The user's folder of the prefix $1 (the one user that is not Public).
pw_user_home() { ls -d "$1"/drive_c/users/*/ | grep -v /Public/ | head -1 | sed 's:/$::'; }

# The demo's old installation at $work/prefix and its three packages in
# $work/updates, made with the package tool of the native build $1 from the
# sources at $2. Sets prefix and updates.
pw_demo_prefix() {
  prefix="$work/prefix"
  updates="$work/updates"
  bash "$2/scripts/make-demo-prefix.sh" "$prefix" "$updates" "$1/tools/patchwell-pack" >/dev/null ||
    { echo "FAIL: demo prefix"; exit 1; }
}

# A prefix at $work/prefix with nothing but the folders the native program
# needs to run and a C: drive; $@: more folders to make under drive_c. Sets
# prefix.
pw_bare_prefix() {
  prefix="$work/prefix"
  local folder
  mkdir -p "$prefix/dosdevices"
  for folder in "$@"; do mkdir -p "$prefix/drive_c/$folder"; done
  ln -s ../drive_c "$prefix/dosdevices/c:"
}

# The script's outcome: 0 when nothing failed.
pw_result() { [ "$failures" -eq 0 ]; }
