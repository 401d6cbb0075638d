#!/usr/bin/env bash
# patchwell --unattended on a prefix whose user has no Documents folder: the
# log cannot be opened, and its lines are lost rather than written to the
# terminal; standard output stays empty whatever the outcome.
set -u
. "$(dirname "$0")/../lib/common.sh"
build=$1
patchwell="$build/patchwell"
pw_work
pw_bare_prefix "users/$(id -un)/AppData/Roaming" updates
"$patchwell" --prefix "$prefix" --update-folder "$prefix/drive_c/updates" --unattended \
    > "$work/stdout" 2> "$work/stderr"
status=$?
[ "$status" -eq 1 ] || fail "exit status $status, wanted 1 (no installation); stderr: $(cat "$work/stderr")"
[ -s "$work/stdout" ] && fail "the log reached standard output: $(head -5 "$work/stdout")"
find "$prefix" -name AerovinPatchwell.log | grep -q . &&
    fail "a log was written although there is no Documents folder: $(find "$prefix" -name AerovinPatchwell.log)"
pw_result
