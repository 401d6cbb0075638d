#!/usr/bin/env bash
# The main job: builds the native program and shows what it offers.
set -u
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh || { echo "demo: could not install the dependencies"; exit 1; }
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPW_TESTS=OFF >/dev/null || exit 1
cmake --build build/release -j"$(nproc)" || exit 1
build/release/patchwell --help
