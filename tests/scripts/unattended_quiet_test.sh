#!/usr/bin/env bash
# patchwell --unattended on a prefix whose user has no Documents folder: the
# log cannot be opened, and its lines are lost rather than written to the
# terminal; standard output stays empty whatever the outcome.
set -u
build=$1
patchwell="$build/patchwell"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

prefix="$work/prefix"
mkdir -p "$prefix/dosdevices" "$prefix/drive_c/users/$(id -un)/AppData/Roaming" "$prefix/drive_c/updates"
ln -s ../drive_c "$prefix/dosdevices/c:"
"$patchwell" --prefix "$prefix" --update-folder "$prefix/drive_c/updates" --unattended \
    > "$work/stdout" 2> "$work/stderr"
status=$?
if [ "$status" -ne 1 ]; then
    echo "FAIL: exit status $status, wanted 1 (no installation); stderr: $(cat "$work/stderr")"
    failures=$((failures + 1))
fi
if [ -s "$work/stdout" ]; then
    echo "FAIL: the log reached standard output:"
    head -5 "$work/stdout"
    failures=$((failures + 1))
fi
if find "$prefix" -name AerovinPatchwell.log | grep -q .; then
    echo "FAIL: a log was written although there is no Documents folder: $(find "$prefix" -name AerovinPatchwell.log)"
    failures=$((failures + 1))
fi
[ "$failures" -eq 0 ]
