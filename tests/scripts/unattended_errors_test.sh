#!/usr/bin/env bash
# patchwell's command line: each error path gives its exit status and message.
set -u
. "$(dirname "$0")/../lib/common.sh"
build=$1
patchwell="$build/patchwell"
pw_work
expect() {  # expect STATUS PATTERN -- command...
    local status=$1 pattern=$2
    shift 3
    local out rc
    out=$("$@" 2>&1 >/dev/null)
    rc=$?
    if [ "$rc" -ne "$status" ] || ! grep -q -- "$pattern" <<<"$out"; then
        fail "$* -> $rc, '$out' (wanted $status, /$pattern/)"
    fi
}

pw_bare_prefix "users/$(id -un)/Documents" updates
mkdir -p "$work/outside"

expect 2 "not a Wine prefix" -- "$patchwell" --prefix "$work/nothing" --unattended
expect 2 "no drive of the prefix reaches" -- "$patchwell" --prefix "$prefix" --update-folder "$work/outside" --unattended
expect 2 "not expected" -- "$patchwell" --bogus
expect 1 "Could not detect any previously installed version." -- \
    "$patchwell" --prefix "$prefix" --update-folder "$prefix/drive_c/updates" --unattended
log="$prefix/drive_c/users/$(id -un)/Documents/AerovinPatchwell.log"
grep -q $'^Error: No previous installation found\r$' "$log" || fail "the log does not end the search as expected"
pw_result
