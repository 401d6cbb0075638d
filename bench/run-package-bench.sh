#!/usr/bin/env bash
# Applies a package of about 200 MB in about 20,000 files to a throwaway
# prefix and, in the same run, extracts the same tree with `tar -xzf` at the
# same zlib level. Prints the wall-time ratio (ours / tar) and our peak
# resident memory against the target (package + stream + 16 MiB).
# Release build, no sanitizers: build/bench.
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPW_BENCH=ON -DPW_TESTS=OFF -DPW_SANITIZE=OFF >/dev/null
cmake --build build/bench -j2 --target package_bench
bench=$PWD/build/bench/bench/package_bench
work=$(mktemp -d "${TMPDIR:-/tmp}/pw-bench-XXXXXX")
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT

"$bench" generate "$work"
(cd "$work/tree" && tar -cf - . | gzip -6 > "$work/tree.tar.gz")
stream=$(du -sb --apparent-size "$work/tree" | cut -f1)  # the content; the stream adds its small headers
package=$(stat -c %s "$work/tree.pkg")
sync

now() { date +%s.%N; }
best_ours=""
best_tar=""
rss=0
for round in 1 2; do
  rm -rf "$work/prefix" "$work/tar-out"
  mkdir -p "$work/tar-out"
  t0=$(now)
  out=$("$bench" apply "$work/tree.pkg" "$work/prefix" 2>&1)
  t1=$(now)
  tar -xzf "$work/tree.tar.gz" -C "$work/tar-out"
  t2=$(now)
  ours=$(echo "$t1 - $t0" | bc -l)
  theirs=$(echo "$t2 - $t1" | bc -l)
  r=$(echo "$out" | sed -n 's/^peak_rss_kib //p')
  [ "$r" -gt "$rss" ] && rss=$r
  echo "round $round: ours ${ours}s, tar ${theirs}s"
  if [ -z "$best_ours" ] || [ "$(echo "$ours < $best_ours" | bc -l)" = 1 ]; then best_ours=$ours; fi
  if [ -z "$best_tar" ] || [ "$(echo "$theirs < $best_tar" | bc -l)" = 1 ]; then best_tar=$theirs; fi
done
tail -1 "$work/prefix/install.log" | tr -d '\r'
diff -r "$work/tree" "$work/prefix/drive_c/Game" >/dev/null && echo "trees identical" || echo "TREES DIFFER"

limit_kib=$(( (package + stream) / 1024 + 16 * 1024 ))
printf 'package %d bytes, content %d bytes, tar.gz %d bytes\n' "$package" "$stream" "$(stat -c %s "$work/tree.tar.gz")"
printf 'wall time: ours %.2fs, tar %.2fs, ratio %.2f (target <= 1.0)\n' "$best_ours" "$best_tar" \
  "$(echo "$best_ours / $best_tar" | bc -l)"
printf 'peak resident memory: %d KiB (target <= %d KiB)\n' "$rss" "$limit_kib"
