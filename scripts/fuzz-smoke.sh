#!/usr/bin/env bash
# Builds the package fuzz target with clang (build/fuzz) and runs it over a
# seed corpus of valid packages. Without an argument it is a smoke run of
# about 30 seconds; with one it runs that many seconds (a longer campaign,
# e.g. `scripts/fuzz-smoke.sh 3600`), keeping its corpus in build/fuzz/corpus.
# Exits non-zero when the target crashes; the crashing input is left in
# build/fuzz/ as crash-*.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-30}
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPW_FUZZ=ON -DPW_TESTS=OFF -DPW_SANITIZE=OFF >/dev/null
cmake --build build/fuzz -j2 --target package_fuzz package_fuzz_seeds
corpus=build/fuzz/corpus
mkdir -p "$corpus"
build/fuzz/fuzz/package_fuzz_seeds "$corpus"
build/fuzz/fuzz/package_fuzz -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix=build/fuzz/ "$corpus"
