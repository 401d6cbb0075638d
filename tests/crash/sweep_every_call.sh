#!/usr/bin/env bash
# Ends the rich update at every one of its seam calls in turn, runs it again
# each time and compares the user's data with an uninterrupted update.
#
#   sweep_every_call.sh BUILD_FOLDER SOURCE_FOLDER
set -eu
build=$1
source_dir=$2
exec "$build/tests/crash/pw_crash_sweep" --source "$source_dir" --packer "$build/tools/patchwell-pack" --all
