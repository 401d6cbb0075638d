#!/usr/bin/env bash
# The screen's cost: applies the package benchmark's package with the
# installing page drawn in a terminal (tmux, 80 x 24) and with no screen,
# alternately, and prints the share of the installation's time the screen
# takes (target: at most 5%). Release build: build/bench.
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPW_BENCH=ON -DPW_TESTS=OFF -DPW_SANITIZE=OFF >/dev/null
cmake --build build/bench -j2 --target package_bench terminal_bench >/dev/null
bench=$PWD/build/bench/bench
work=$(mktemp -d -t pw-tbench-XXXXXX)
socket="pw-tbench-$$"
trap 'tmux -L "$socket" kill-server >/dev/null 2>&1; rm -rf "$work"' EXIT
"$bench/package_bench" generate "$work" >/dev/null
rm -rf "$work/tree"

run() {  # $1 screen|none; prints the seconds
  rm -rf "$work/prefix" "$work/out"
  tmux -L "$socket" -f /dev/null new-session -d -x 80 -y 24 \
    "env LANG=C.UTF-8 '$bench/terminal_bench' '$work/tree.pkg' '$work/prefix' $1 2>'$work/out'"
  while [ ! -s "$work/out" ]; do sleep 0.1; done
  sleep 0.2
  sed -n 's/^apply_seconds //p' "$work/out"
}
best_screen=""; best_none=""
for round in 1 2 3; do
  s=$(run screen); n=$(run none)
  echo "round $round: with the screen $s, without $n"
  s=${s%% *}; n=${n%% *}
  if [ -z "$best_screen" ] || [ "$(echo "$s < $best_screen" | bc -l)" = 1 ]; then best_screen=$s; fi
  if [ -z "$best_none" ] || [ "$(echo "$n < $best_none" | bc -l)" = 1 ]; then best_none=$n; fi
done
printf 'screen cost: %.1f%% of the installation (best %.2fs with, %.2fs without; target <= 5%%)\n' \
  "$(echo "($best_screen - $best_none) * 100 / $best_none" | bc -l)" "$best_screen" "$best_none"
