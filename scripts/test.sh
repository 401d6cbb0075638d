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
  passed=$((passed + total - nfail))
  failures=$((failures + nfail))
else
  failed=1
fi
rm -f "$ctest_log"

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
export WINEPREFIX=$(mktemp -d /tmp/pw-wine-XXXXXX)
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
  [ -z "$n" ] && [ -z "$f" ] && { echo "$exe did not run"; failures=$((failures + 1)); }
  passed=$((passed + ${n:-0}))
  failures=$((failures + ${f:-0}))
  rm -f "$out"
done
for script in tests/wine/*_test.sh; do
  [ -f "$script" ] || continue
  if bash "$script" "$top"; then passed=$((passed + 1)); else echo "FAILED: $script"; failures=$((failures + 1)); fi
done
wineserver -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"

if [ -f scripts/fuzz-smoke.sh ]; then
  if bash scripts/fuzz-smoke.sh; then passed=$((passed + 1)); else echo "FAILED: fuzz smoke run"; failures=$((failures + 1)); fi
fi

echo
echo "all: $passed passed, $failures failed"
[ "$failed" -eq 0 ] && [ "$failures" -eq 0 ]
