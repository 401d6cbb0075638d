#!/usr/bin/env bash
# Installs what the builds and the tests need, on a Debian machine.
# Only installs what is missing; safe to run again.
set -u

packages=(cmake ninja-build g++ clang libclang-rt-14-dev zlib1g-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
          libncurses-dev libcli11-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev wine wine32:i386 wine64
          xvfb x11-utils imagemagick liblnk-utils tmux xxd libdeflate-dev strace time)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -q i386 || $SUDO dpkg --add-architecture i386
$SUDO apt-get update -q || true
if ! $SUDO apt-get install -y -q "${missing[@]}"; then
  # 32-bit packages must match their 64-bit twins version for version. When a
  # mirror lags for one architecture (as the security archive sometimes does
  # for i386), install from the main archive alone, where both agree.
  sources=$(mktemp -d)
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && awk 'BEGIN{RS="";ORS="\n\n"} !/debian-security/' "$f" > "$sources/$(basename "$f")"
  done
  if [ -f /etc/apt/sources.list ]; then grep -v debian-security /etc/apt/sources.list > "$sources/main.list"; fi
  $SUDO apt-get install -y -q -o Dir::Etc::SourceParts="$sources" -o Dir::Etc::SourceList=/dev/null "${missing[@]}"
  rc=$?
  rm -rf "$sources"
  if [ $rc -ne 0 ]; then
    # Wine's 32-bit loader is only used where the kernel runs 32-bit programs;
    # the tests fall back to wine64 without it.
    rest=()
    for p in "${missing[@]}"; do [ "$p" = "wine32:i386" ] || rest+=("$p"); done
    echo "install-deps: wine32:i386 could not be installed; going on without it" >&2
    $SUDO apt-get install -y -q "${rest[@]}"
    rc=$?
  fi
  exit $rc
fi
