#!/usr/bin/env bash
# The main job: installs what is missing, builds the native programs, makes a
# fresh demo Wine prefix with an old installation of Aerovin R/C 4.2.b and
# three update packages, and runs the update wizard on it in this terminal.
# Without a terminal the wizard runs unattended and the log's place is shown.
set -u
cd "$(dirname "$0")/.."
top=$(pwd)

bash scripts/install-deps.sh || { echo "demo: could not install the dependencies"; exit 1; }
echo "demo: building (Release) in build/release..."
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPW_TESTS=OFF >/dev/null || exit 1
cmake --build build/release -j"$(nproc)" >/dev/null || cmake --build build/release -j1 || exit 1

demo="$top/build/demo"
prefix="$demo/prefix"
updates="$demo/updates"
bash scripts/make-demo-prefix.sh "$prefix" "$updates" build/release/tools/patchwell-pack || exit 1
user=${USER:-$(id -un)}
log="$prefix/drive_c/users/$user/Documents/AerovinPatchwell.log"

if [ -t 0 ] && [ -t 1 ]; then
  echo "demo: starting the wizard (Tab and Shift-Tab move, Space or Enter presses, Ctrl-C asks to leave)"
  sleep 1
  build/release/patchwell --prefix "$prefix" --update-folder "$updates"
  status=$?
else
  echo "demo: no terminal; running the wizard unattended"
  build/release/patchwell --prefix "$prefix" --update-folder "$updates" --unattended
  status=$?
fi

echo
case $status in
  0) echo "demo: the update is complete (exit status 0)" ;;
  1) echo "demo: the update failed (exit status 1)" ;;
  3) echo "demo: left before the end (exit status 3)" ;;
  *) echo "demo: patchwell ended with exit status $status" ;;
esac
[ -f "$log" ] && echo "demo: the log is $log"
echo "demo: the demo prefix is $prefix (made afresh on every run)"
exit $status
