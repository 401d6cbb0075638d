#!/usr/bin/env bash
# Builds the package fuzz targets with clang (build/fuzz) and runs each over
# a seed corpus of valid packages: package_fuzz (reading, checking and
# applying on a throwaway machine) and the in-memory targets for the file
# check, the chunk table with the unpacking, and the stream check.
#   fuzz-smoke.sh            a smoke run of about 30 seconds in all
#   fuzz-smoke.sh SECONDS    each target runs SECONDS (a longer campaign)
# The corpora stay in build/fuzz/corpus-*. Exits non-zero when a target
# crashes; the crashing input is left in build/fuzz/ as crash-*.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-}
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPW_FUZZ=ON -DPW_TESTS=OFF -DPW_SANITIZE=OFF >/dev/null
targets=(package_fuzz package_file_fuzz package_chunk_fuzz package_stream_fuzz)
cmake --build build/fuzz -j2 --target "${targets[@]}" package_fuzz_seeds
for name in install files chunks streams; do mkdir -p "build/fuzz/corpus-$name"; done
build/fuzz/fuzz/package_fuzz_seeds build/fuzz/corpus-install build/fuzz/corpus-files build/fuzz/corpus-streams
cp build/fuzz/corpus-install/seed-file-* build/fuzz/corpus-chunks/
run() {  # run TARGET CORPUS SECONDS
  local rc=0
  build/fuzz/fuzz/$1 -max_total_time="$3" -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix=build/fuzz/ "build/fuzz/corpus-$2" > "build/fuzz/$1.out" 2>&1 || rc=$?
  echo "$1:"
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec)|ERROR|SUMMARY' "build/fuzz/$1.out" || true
  [ "$rc" -eq 0 ] || { tail -30 "build/fuzz/$1.out"; exit 1; }
}
# The install target goes deep and slowly; the in-memory ones fast. The chunk
# target starts from the install target's whole-file seeds.
run package_fuzz install "${seconds:-12}"
run package_file_fuzz files "${seconds:-6}"
run package_chunk_fuzz chunks "${seconds:-6}"
run package_stream_fuzz streams "${seconds:-6}"
