#!/usr/bin/env bash
# Times the whole `patchwell --unattended` run (discovery with its check of
# the package, preparation, application, finishing) on a fresh demo prefix
# against `tar -xzf` of the same tree at the same zlib level, alternating the
# two, and prints the median ratio (ours / tar), the medians of each, the
# system calls per written file (strace -f -c) and our peak resident memory
# (/usr/bin/time -v) against the bound package + stream + 16 MiB.
#
# It also prints the physical limit: one pass of inflating the chunks on every
# core plus writing the files straight from memory (package_bench create).
#
#   run-package-bench.sh [PAIRS] [SHAPE...]
#
# PAIRS defaults to 5; the shapes are "many" (20,000 files, about 248 MB) and
# "large" (200 files of 100 KB to 4 MB, about 400 MB), both by default.
# Release build, no sanitizers: build/bench.
set -eu
cd "$(dirname "$0")/.."
pairs=${1:-5}
shift || true
shapes=("$@")
[ ${#shapes[@]} -gt 0 ] || shapes=(many large)

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPW_BENCH=ON -DPW_TESTS=OFF -DPW_SANITIZE=OFF >/dev/null
cmake --build build/bench -j2 --target package_bench patchwell patchwell-pack >/dev/null
bench=$PWD/build/bench/bench/package_bench
patchwell=$PWD/build/bench/patchwell
packer=$PWD/build/bench/tools/patchwell-pack
work=$(mktemp -d "${TMPDIR:-/tmp}/pw-bench-XXXXXX")
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT

median() { sort -g | awk '{v[NR]=$1} END {if (NR%2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }

# Trees of earlier runs are moved aside, never deleted, until the end: the
# file system passes over inodes freed in the last half minute when it places
# new ones, so a run that follows a large deletion pays for it, and it would
# always be ours, which goes first.
aside=0
set_aside() {
  [ -e "$1" ] || return 0
  aside=$((aside + 1))
  mkdir -p "$work/aside"
  mv "$1" "$work/aside/$aside"
}

# A fresh demo prefix whose update folder holds only the benchmark's package.
fresh_prefix() {
  set_aside "$work/prefix"
  set_aside "$work/updates"
  bash scripts/make-demo-prefix.sh "$work/prefix" "$work/updates" "$packer" >/dev/null
  rm -f "$work/updates"/*.pkg
  ln "$work/tree.pkg" "$work/updates/bench1.pkg"
}
install_dir() { printf '%s' "$work/prefix/drive_c/Program Files (x86)/AerovinRC"; }

run_shape() {
  local shape=$1
  rm -rf "$work/tree" "$work/tree.pkg" "$work/tree.tar.gz"
  echo "== shape: $shape"
  "$bench" generate "$work" "$shape"
  (cd "$work/tree" && tar -cf - Bench | gzip -6 > "$work/tree.tar.gz")
  "$bench" inflate "$work/tree.pkg" | tee "$work/inflate.txt"
  # The floor: inflating on every core plus creating the files.
  "$bench" create "$work/tree/Bench" "$work/create-$shape" | tee "$work/create.txt"
  local files stream package
  files=$(find "$work/tree/Bench" -type f | wc -l)
  stream=$(du -sb --apparent-size "$work/tree/Bench" | cut -f1)
  package=$(stat -c %s "$work/tree.pkg")
  sync

  : > "$work/ours.txt"; : > "$work/tar.txt"; : > "$work/ratio.txt"; : > "$work/rss.txt"
  for pair in $(seq 1 "$pairs"); do
    fresh_prefix
    set_aside "$work/tar-out"; mkdir -p "$work/tar-out"
    sync
    /usr/bin/time -f '%e %M' -o "$work/time-ours" \
      "$patchwell" --prefix "$work/prefix" --update-folder "$work/updates" --unattended 2>/dev/null ||
      { echo "patchwell failed"; exit 1; }
    /usr/bin/time -f '%e %M' -o "$work/time-tar" tar -xzf "$work/tree.tar.gz" -C "$work/tar-out"
    read -r ours rss < "$work/time-ours"
    read -r theirs _ < "$work/time-tar"
    echo "pair $pair: ours ${ours}s, tar ${theirs}s, our peak ${rss} KiB"
    echo "$ours" >> "$work/ours.txt"; echo "$theirs" >> "$work/tar.txt"; echo "$rss" >> "$work/rss.txt"
    echo "$ours $theirs" | awk '{print $1 / $2}' >> "$work/ratio.txt"
  done
  diff -r "$work/tree/Bench" "$(install_dir)/Bench" >/dev/null && echo "applied tree identical to the source" ||
    echo "TREES DIFFER"
  diff -r "$work/tar-out/Bench" "$(install_dir)/Bench" >/dev/null && echo "applied tree identical to tar's" ||
    echo "TREES DIFFER FROM TAR'S"

  # System calls per written file, ours and tar's.
  fresh_prefix
  strace -f -c -o "$work/strace-ours" \
    "$patchwell" --prefix "$work/prefix" --update-folder "$work/updates" --unattended 2>/dev/null >/dev/null || true
  set_aside "$work/tar-out"; mkdir -p "$work/tar-out"
  strace -f -c -o "$work/strace-tar" tar -xzf "$work/tree.tar.gz" -C "$work/tar-out"
  local calls_ours calls_tar
  calls_ours=$(awk '$NF == "total" {print $(NF-2)}' "$work/strace-ours")
  calls_tar=$(awk '$NF == "total" {print $(NF-2)}' "$work/strace-tar")
  echo "top system calls (ours):"
  sed -n '3,10p' "$work/strace-ours"
  echo "top system calls (tar):"
  sed -n '3,10p' "$work/strace-tar"

  local limit_kib=$(( (package + stream) / 1024 + 16 * 1024 ))
  printf 'files %d, package %d bytes, content %d bytes, tar.gz %d bytes\n' "$files" "$package" "$stream" \
    "$(stat -c %s "$work/tree.tar.gz")"
  printf 'median wall time: ours %.2fs, tar %.2fs; median ratio %.3f (%d pairs)\n' "$(median < "$work/ours.txt")" \
    "$(median < "$work/tar.txt")" "$(median < "$work/ratio.txt")" "$pairs"
  printf 'system calls per written file: ours %.2f (whole run), tar %.2f\n' \
    "$(echo "$calls_ours / $files" | bc -l)" "$(echo "$calls_tar / $files" | bc -l)"
  printf 'peak resident memory: %d KiB (bound %d KiB)\n' "$(sort -n "$work/rss.txt" | tail -1)" "$limit_kib"
  local inflate create
  inflate=$(awk '/^inflate fastest, all cores/ {print $(NF-1)}' "$work/inflate.txt")
  create=$(awk '/^create/ {print $(NF-1)}' "$work/create.txt" | sort -g | head -1)
  printf 'physical limit: inflate %.3fs (fastest, all cores) + create %.3fs (best of one thread, all cores) = %.2fs; ours is %.2fx that\n' \
    "$inflate" "$create" "$(echo "$inflate + $create" | bc -l)" "$(echo "$(median < "$work/ours.txt") / ($inflate + $create)" | bc -l)"
}

for shape in "${shapes[@]}"; do run_shape "$shape"; done
