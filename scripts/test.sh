#!/usr/bin/env bash
# Runs every test: native (AddressSanitizer + UndefinedBehaviorSanitizer) with
# ctest, then the Windows build under Wine's 32-bit support.
set -u
cd "$(dirname "$0")/.."
top=$(pwd)

bash scripts/install-deps.sh || { echo "test: could not install the dependencies"; exit 1; }

jobs=$(nproc)
failed=0
passed=0
failures=0
# Figures per kind of test, printed before the total.
declare -A kind_passed kind_failed
kinds=()
tally() {  # KIND PASSED FAILED
  [ -n "${kind_passed[$1]+set}" ] || { kinds+=("$1"); kind_passed[$1]=0; kind_failed[$1]=0; }
  kind_passed[$1]=$((kind_passed[$1] + $2))
  kind_failed[$1]=$((kind_failed[$1] + $3))
  passed=$((passed + $2))
  failures=$((failures + $3))
}
wine_prefix=
cleanup() {
  if [ -n "$wine_prefix" ]; then
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$wine_prefix"
  fi
}
trap cleanup EXIT

echo "== native build (sanitizers) =="
cmake -S . -B build/test-native -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPW_SANITIZE=ON >/dev/null || exit 1
cmake --build build/test-native -j"$jobs" || exit 1

echo "== native tests =="
ctest_log=$(mktemp)
(cd build/test-native && ctest -j"$jobs" --output-on-failure) | tee "$ctest_log"
summary=$(grep -E '[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$ctest_log" | tail -1)
if [ -n "$summary" ]; then
  total=$(echo "$summary" | sed -E 's/.* out of ([0-9]+).*/\1/')
  nfail=$(echo "$summary" | sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/')
  tally "native (ctest)" $((total - nfail)) "$nfail"
else
  failed=1
fi
rm -f "$ctest_log"

echo "== unit tests in one process, in a shuffled order =="
# ctest gives every test a process of its own; this pass shows what one test
# leaves behind for another. PW_SHUFFLE_SEED repeats a given order.
seed=${PW_SHUFFLE_SEED:-$(( (RANDOM * 32768 + RANDOM) % 100000 + 1 ))}
echo "shuffle seed: $seed"
shuffle_log=$(mktemp)
if build/test-native/tests/pw_tests --gtest_shuffle --gtest_random_seed="$seed" >"$shuffle_log" 2>&1; then
  tally "unit, one shuffled process" 1 0
  grep -E '^\[  PASSED  \]' "$shuffle_log"
else
  grep -E '^\[  FAILED  \]' "$shuffle_log"
  echo "FAILED: the unit tests in one process with seed $seed (PW_SHUFFLE_SEED=$seed bash scripts/test.sh repeats it)"
  tally "unit, one shuffled process" 0 1
fi
rm -f "$shuffle_log"

echo "== Windows build (MinGW-w64, 32-bit) =="
cmake -S . -B build/test-win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" >/dev/null || exit 1
cmake --build build/test-win32 -j"$jobs" || exit 1

echo "== Windows tests under Wine =="
# The product is a 32-bit program; its tests run under Wine's 32-bit loader.
# A kernel without 32-bit support cannot start that loader: the same tests
# are then built as 64-bit programs and run under wine64.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  export PW_WINE=/usr/lib/wine/wine PW_BUILD_WIN="$top/build/test-win32"
else
  echo "note: this kernel cannot run 32-bit programs; running the Windows tests as 64-bit builds under wine64"
  cmake -S . -B build/test-win64 -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake" >/dev/null || exit 1
  cmake --build build/test-win64 -j"$jobs" || exit 1
  export PW_WINE=/usr/lib/wine/wine64 PW_BUILD_WIN="$top/build/test-win64"
fi
case "$PW_WINE" in
  */wine64) echo "Windows tests run under $PW_WINE (the 64-bit build)" ;;
  *) echo "Windows tests run under $PW_WINE (the 32-bit program itself)" ;;
esac
wine_prefix=$(mktemp -d /tmp/pw-wine-XXXXXX)
export WINEPREFIX=$wine_prefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$PW_WINE" wineboot --init >/dev/null 2>&1
# Links made on the host side of the prefix, which Wine lists as links (it
# cannot make them itself): folder links below the folders the tests contain,
# a file link, and a folder that is itself a link, as Documents is.
links="$WINEPREFIX/drive_c/pwlinks"
mkdir -p "$links/elsewhere" "$links/tree" "$links/write" "$links/deltree/sub" "$links/delink" "$links/rootreal" \
  "$links/filelink"
printf keep > "$links/elsewhere/precious.txt"
printf x > "$links/deltree/sub/plain.txt"
ln -s ../elsewhere "$links/tree/link"
ln -s ../elsewhere "$links/write/link"
ln -s ../../elsewhere "$links/deltree/sub/link"
ln -s ../elsewhere "$links/delink/link"
ln -s rootreal "$links/docs"
ln -s ../elsewhere/precious.txt "$links/filelink/out.txt"
export PW_LINK_FIXTURE='C:\pwlinks'
for exe in "$PW_BUILD_WIN"/tests/pw_contract_tests.exe; do
  out=$(mktemp)
  "$PW_WINE" "$exe" 2>&1 | tr -d '\r' | tee "$out"
  n=$(grep -E '^\[  PASSED  \] [0-9]+ test' "$out" | sed -E 's/.*\] ([0-9]+) test.*/\1/')
  f=$(grep -E '^\[  FAILED  \] [0-9]+ test' "$out" | sed -E 's/.*\] ([0-9]+) test.*/\1/')
  [ -z "$n" ] && [ -z "$f" ] && { echo "$exe did not run"; f=1; }
  tally "contract under Wine" "${n:-0}" "${f:-0}"
  rm -f "$out"
done
for script in tests/wine/*_test.sh; do
  [ -f "$script" ] || continue
  if bash "$script" "$top"; then tally "Wine scenarios" 1 0; else echo "FAILED: $script"; tally "Wine scenarios" 0 1; fi
done
cleanup
wine_prefix=

if [ -f scripts/fuzz-smoke.sh ]; then
  if bash scripts/fuzz-smoke.sh; then tally "fuzz smoke" 1 0; else echo "FAILED: fuzz smoke run"; tally "fuzz smoke" 0 1; fi
fi

echo
for kind in "${kinds[@]}"; do
  printf '  %-28s %5d passed, %d failed\n' "$kind:" "${kind_passed[$kind]}" "${kind_failed[$kind]}"
done
echo "all: $passed passed, $failures failed"
[ "$failed" -eq 0 ] && [ "$failures" -eq 0 ]
