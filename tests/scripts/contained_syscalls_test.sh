#!/usr/bin/env bash
# The system calls that writing one file below a contained folder costs, as
# package application writes it, counted by strace: the difference between
# two runs of the same workload with different file counts, so that start-up
# and the test framework cancel out. A change that brings back a stat per
# call, or per file, fails here.
set -u
build=$1
tests="$build/tests/pw_tests"
if ! command -v strace >/dev/null; then echo "SKIP: strace is not installed"; exit 0; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

count() {  # count FILES -> the calls of the workload's loop, one name a line, in $work/FILES.txt
    # The leak checker cannot run under ptrace.
    ASAN_OPTIONS=detect_leaks=0 PW_WORKLOAD_FILES=$1 strace -f -o "$work/$1.trace" "$tests" \
        --gtest_filter=ContainedSyscallWorkload.WritesFilesAsPackagesDo >"$work/$1.log" 2>&1 ||
        { echo "FAIL: workload of $1 files"; cat "$work/$1.log"; exit 1; }
    awk '/pw-workload-end/ { inside = 0 } inside { sub(/^[0-9]+ +/, ""); sub(/\(.*/, ""); print }
         /pw-workload-begin/ { inside = 1 }' "$work/$1.trace" >"$work/$1.txt"
}
calls() { grep -cE "^($2)\$" "$1"; }  # calls FILE NAME-REGEX

small=100
large=600
count $small
count $large
files=$((large - small))
per_file() { echo "scale=2; ($1 - $2) / $files" | bc -l; }
stat_like='stat|lstat|fstat|newfstatat|statx|access|faccessat|faccessat2'
all=$(per_file "$(wc -l <"$work/$large.txt")" "$(wc -l <"$work/$small.txt")")
stats=$(per_file "$(calls "$work/$large.txt" "$stat_like")" "$(calls "$work/$small.txt" "$stat_like")")
xattrs=$(per_file "$(calls "$work/$large.txt" '.*xattr')" "$(calls "$work/$small.txt" '.*xattr')")
echo "system calls per written file: $all (stat-like $stats, extended attributes $xattrs)"
sort "$work/$large.txt" | uniq -c | sort -rn | head -8
failures=0
# An open, a write, a close, and one look at the kernel's change queue for
# each of the two calls that need it: five. A little room for noise.
if [ "$(echo "$all > 5.5" | bc -l)" = 1 ]; then echo "FAIL: $all system calls per file (at most 5)"; failures=1; fi
if [ "$(echo "$stats > 0.05" | bc -l)" = 1 ]; then echo "FAIL: $stats stat calls per file (none)"; failures=1; fi
if [ "$(echo "$xattrs > 0.05" | bc -l)" = 1 ]; then echo "FAIL: $xattrs attribute calls per file (none)"; failures=1; fi
exit $failures
