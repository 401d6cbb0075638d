#!/usr/bin/env bash
# Makes a fresh demo Wine prefix holding an old installation of Aerovin R/C
# 4.2.b, and a folder of three update packages built with patchwell-pack.
#
#   make-demo-prefix.sh PREFIX UPDATES PACKER [--win32]
#
# PREFIX and UPDATES are removed and made anew. PACKER is the patchwell-pack
# program. The prefix is 64-bit (#arch=win64, the simulator under
# "Program Files (x86)") unless --win32 is given.
#
# Nothing in the prefix links to the host's home folder: unlike a prefix that
# Wine makes, Documents and Desktop are real folders, so the demo never
# touches the user's own files.
set -eu

if [ $# -lt 3 ]; then
  echo "usage: $0 PREFIX UPDATES PACKER [--win32]" >&2
  exit 2
fi
prefix=$1
updates=$2
packer=$3
arch=win64
[ "${4:-}" = "--win32" ] && arch=win32

user=${USER:-$(id -un)}
[ -n "$user" ] || user=user
case "$prefix" in /*) ;; *) prefix="$(pwd)/$prefix" ;; esac
case "$updates" in /*) ;; *) updates="$(pwd)/$updates" ;; esac

rm -rf "$prefix" "$updates"
mkdir -p "$prefix/dosdevices" "$updates"
ln -s ../drive_c "$prefix/dosdevices/c:"
ln -s / "$prefix/dosdevices/z:"

c="$prefix/drive_c"
home="$c/users/$user"
mkdir -p "$c/windows/system32" "$c/Program Files" "$c/ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp" \
         "$c/users/Public/Desktop" "$c/users/Public/Documents"
for folder in "AppData/Local" "AppData/LocalLow" "AppData/Roaming" Contacts Desktop Documents Downloads Favorites \
              Links Music Pictures "Saved Games" Searches Temp Videos; do
  mkdir -p "$home/$folder"
done
if [ "$arch" = win64 ]; then
  mkdir -p "$c/Program Files (x86)" "$c/windows/syswow64"
  programs="Program Files (x86)"
else
  programs="Program Files"
fi

# ---- the old installation, version 4.2.b ----
install="$c/$programs/AerovinRC"
builder="$c/$programs/AerovinBuilder"
mkdir -p "$install/resources/data" "$install/resources/models" "$builder"
printf 'MZ old simulator 4.2.b\n' > "$install/AerovinRC.exe"
printf 'MZ old launcher 4.2.b\n' > "$install/AerovinLauncher.exe"
printf '4.2.b' > "$install/AerovinRC.ver"
printf 'aerovinRC_alderField,1.0,\n' > "$install/resources/data/installed.dat"
printf 'trainer model 4.2\n' > "$install/resources/models/trainer.mdl"
printf 'MZ old editor tool 4.2.b\n' > "$builder/AerovinBuilder.exe"

# ---- the user's data ----
data="$home/Documents/AerovinRC"
mkdir -p "$data/Settings/mappingProfiles/Custom" "$data/Schemes" "$data/Flying sites" "$data/Recordings"
cat > "$data/Settings/options.sim" <<'EOF'
options.default_simulationSpeed = 0.8
options.default_wind = { 3, 270 }
options.initialSetup = 1
options.default_units_scheme = "imperial"
options.playWindSound = 1
options.default_flyingSite = "aerovinRC_elmHill"
options.default_layoutMode = 2
options.default_flightRecorder_position = { 12, 40 }
options.models = { { "Trainer", "Blue", "Mode 2", "Sunset scheme" }, { "Glider", "White", "Mode 2", "Default" } }
options.language = "en"
options.default_showHelperDialogs = { 1, 0, 1, 1 }
options.default_training_landing_startHeight = 25
options.recentFlyingSites = { "aerovinRC_elmHill", "My strip" }
EOF
# Calibration: 8 channels of 3 integers kept and 8 more, little-endian.
calibration=""
for channel in 0 1 2 3 4 5 6 7; do
  for value in $((100 + channel)) $((512 + channel)) $((900 + channel)) 0 0 0 0 0 0 0 0; do
    calibration+=$(printf '\\x%02x\\x%02x\\x00\\x00' $((value & 255)) $((value >> 8)))
  done
done
printf "$calibration" > "$data/Settings/controller_0.vxt"
printf 'aerovinRC_alderField.vrx;1.0;1;\naerovinRC_elmHill.vrx;1.2;1;\nMy strip.vrx;1.0;0;\naerovinRC_lanternQuay.vrx;1.0;1;\n' \
  > "$data/Settings/installedUpdates.vrx"
printf 'aileron=ch1\nelevator=ch2\nrudder=ch4\nthrottle=ch3\n' > "$data/Settings/mappingProfiles/Custom/My transmitter.map"
printf 'base=orange\ntrim=white\n' > "$data/Schemes/Sunset scheme.scheme"
printf 'site My strip\nelevation 120\n' > "$data/Flying sites/My strip.vrx"
printf 'recording 1\n' > "$data/Recordings/first flight.rec"
mkdir -p "$home/Documents/AerovinBuilder/Projects"
printf 'my own model project\n' > "$home/Documents/AerovinBuilder/Projects/racer.prj"
mkdir -p "$home/AppData/Roaming/AerovinRC"
printf 'MZ old uninstaller\n' > "$home/AppData/Roaming/AerovinRC/Uninstall.exe"

# ---- old shortcuts ----
menu="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/AerovinRC"
mkdir -p "$menu"
for name in "Aerovin RC" "Aerovin Builder" "Uninstall Aerovin RC"; do
  printf 'old shortcut\n' > "$menu/$name.lnk"
done
printf 'old shortcut\n' > "$c/users/Public/Desktop/AerovinRC.lnk"
printf 'old shortcut\n' > "$c/users/Public/Desktop/Aerovin Builder.lnk"
printf 'not ours\n' > "$c/users/Public/Desktop/Other program.lnk"

# ---- registry: hand-written blocks, which Wine loads and rewrites in its own form ----
winpath() { printf '%s' "$1" | sed 's/\\/\\\\/g'; }
installWin=$(winpath "C:\\$programs\\AerovinRC")
appdataWin=$(winpath "C:\\users\\$user\\AppData\\Roaming\\AerovinRC")
if [ "$arch" = win64 ]; then uninstall='Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall'
else uninstall='Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall'; fi
cat > "$prefix/system.reg" <<EOF
WINE REGISTRY Version 2
;; All keys relative to REGISTRY\\\\Machine

#arch=$arch

[Software\\\\Classes\\\\Installer\\\\Products\\\\4F1B2C8D9E0A1B2C3D4E5F6A7B8C9D0E]
"PackageCode"="0A9B8C7D6E5F4A3B2C1D0E9F8A7B6C5D"
"ProductName"="Aerovin R/C\\xae"

[Software\\\\Classes\\\\Installer\\\\Products\\\\4F1B2C8D9E0A1B2C3D4E5F6A7B8C9D0E\\\\SourceList]
"PackageName"="AerovinRC.msi"

[Software\\\\Classes\\\\Installer\\\\Products\\\\7A6B5C4D3E2F1A0B9C8D7E6F5A4B3C2D]
"ProductName"="Other Flight Tool"

[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion]
"ProgramFilesDir"="C:\\\\Program Files"
$([ "$arch" = win64 ] && printf '"ProgramFilesDir (x86)"="C:\\\\Program Files (x86)"')

[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders]
"Common Desktop"="C:\\\\users\\\\Public\\\\Desktop"
"Common Programs"="C:\\\\ProgramData\\\\Microsoft\\\\Windows\\\\Start Menu\\\\Programs"

[$uninstall\\\\AerovinRC]
"DisplayIcon"="$installWin/AerovinRC.exe"
"DisplayName"="Aerovin R/C\\xae"
"DisplayVersion"="4.2.b"
"Publisher"="Quenlow Ltd"
"UninstallString"="\\"$appdataWin/Uninstall.exe\\" \\"$installWin\\""

[$uninstall\\\\{6C1D2E3F-4A5B-6C7D-8E9F-0A1B2C3D4E5F}]
"DisplayName"="AerovinRC"
"DisplayVersion"="3.1.c"

[$uninstall\\\\OtherFlightTool]
"DisplayName"="Other Flight Tool"

EOF
cat > "$prefix/user.reg" <<EOF
WINE REGISTRY Version 2
;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000

#arch=$arch

[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders]
"AppData"="C:\\\\users\\\\$user\\\\AppData\\\\Roaming"
"Desktop"="C:\\\\users\\\\$user\\\\Desktop"
"Personal"="C:\\\\users\\\\$user\\\\Documents"

EOF

# ---- three update packages ----
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# 1: the program files, with the editor tool beside them.
mkdir -p "$stage/1/install/resources/data" "$stage/1/install/resources/models" "$stage/1/builder"
printf 'MZ simulator 5.0\n' > "$stage/1/install/AerovinRC.exe"
printf 'MZ launcher 5.0\n' > "$stage/1/install/AerovinLauncher.exe"
printf '5.0.p' > "$stage/1/install/AerovinRC.ver"
for model in trainer glider racer; do head -c 40000 /dev/zero | tr '\0' 'm' > "$stage/1/install/resources/models/$model.mdl"; done
printf 'MZ editor tool 5.0\n' > "$stage/1/builder/AerovinBuilder.exe"
"$packer" create "$updates/update1.pkg" --root 0="$stage/1/install" --root 4="$stage/1/builder" \
  --chunk-size 32768 --header "Aerovin R/C 5.0 program files" >/dev/null

# 2: the manuals.
mkdir -p "$stage/2/install/Manuals"
printf 'Aerovin R/C 5.0 \xe2\x80\x94 getting started\n' > "$stage/2/install/Manuals/Getting started.txt"
printf 'Flying sites of Aerovin R/C 5.0\n' > "$stage/2/install/Manuals/Flying sites.txt"
"$packer" create "$updates/update2.pkg" --root 0="$stage/2/install" --header "Aerovin R/C 5.0 manuals" >/dev/null

# 3: fresh user data and the uninstaller.
mkdir -p "$stage/3/user/Settings" "$stage/3/user/Downloaded/Sites" "$stage/3/appdata" "$stage/3/userbuilder/Templates"
printf 'options.default_simulationSpeed = 1.0\noptions.initialSetup = 1\noptions.language = "en"\n' \
  > "$stage/3/user/Settings/options.sim"
printf 'stock sites\n' > "$stage/3/user/Downloaded/Sites/readme.txt"
printf 'MZ uninstaller 5.0\n' > "$stage/3/appdata/Uninstall.exe"
printf 'template\n' > "$stage/3/userbuilder/Templates/basic.prj"
"$packer" create "$updates/update3.pkg" --root 1="$stage/3/user" --root 3="$stage/3/appdata" \
  --root 5="$stage/3/userbuilder" --header "Aerovin R/C 5.0 user data" >/dev/null

echo "demo prefix: $prefix (an installation of 4.2.b in C:\\$programs\\AerovinRC)"
echo "update packages: $updates"
