#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job on the built-in
# sample device in a scratch folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
bin="$PWD/build/bin"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export CEDEV_DEVICE="$scratch/device"
"$bin/cedev" init "$CEDEV_DEVICE"
"$bin/cedev" info
