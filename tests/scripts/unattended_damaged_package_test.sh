#!/usr/bin/env bash
# A damaged package among the demo's sound ones: patchwell --unattended
# exits 1 naming it, and the prefix (files and registry) is as it was, the
# log apart. Repaired, the same update installs.
set -u
. "$(dirname "$0")/../lib/common.sh"
build=$1
pw_work
pw_demo_prefix "$build" "$2"

# Every file's checksum and every folder, the log left out.
snapshot() {
    (cd "$prefix" && find . -path '*/AerovinPatchwell.log' -prune -o -print | sort &&
        find . -type f ! -name AerovinPatchwell.log -exec md5sum {} + | sort)
}

second=$(ls "$updates"/*.pkg | sort | sed -n 2p)
name=$(basename "$second")
cp "$second" "$work/good.pkg"
size=$(stat -c %s "$second")
# One byte flipped in the middle of the package, inside a chunk's zlib data.
offset=$((size / 2))
byte=$(od -An -tu1 -j "$offset" -N1 "$second" | tr -d ' ')
printf "$(printf '\\%03o' $(( byte ^ 0x20 )))" | dd of="$second" bs=1 seek="$offset" conv=notrunc status=none

before=$(snapshot)
"$build/patchwell" --prefix "$prefix" --update-folder "$updates" --unattended 2>"$work/stderr"
status=$?
[ "$status" -eq 1 ] || fail "exit status $status, wanted 1"
grep -q "$name cannot be installed" "$work/stderr" || fail "stderr does not name the package: $(cat "$work/stderr")"
grep -q "Nothing was changed" "$work/stderr" || fail "stderr does not say that nothing was changed"
[ "$(snapshot)" = "$before" ] || fail "the prefix changed: $(diff <(echo "$before") <(snapshot) | head -5)"
log="$(pw_user_home "$prefix")/Documents/AerovinPatchwell.log"
grep -q "^ERROR: Bad package: .*$name: .*at offset" "$log" || fail "the log does not name the fault"
grep -q "Installing completed downloads" "$log" && fail "the installation started"

cp "$work/good.pkg" "$second"
"$build/patchwell" --prefix "$prefix" --update-folder "$updates" --unattended 2>"$work/stderr"
status=$?
[ "$status" -eq 0 ] || fail "repaired: exit status $status ($(cat "$work/stderr"))"
[ "$(grep -c $'^Success\r$' "$log")" -ge 3 ] || fail "repaired: not every package applied"
pw_result
