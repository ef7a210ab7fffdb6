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

# The main job: registry backup with a password, change and delete some
# keys, registry restore, and the registry is back as it was.
cedev() { "$bin/cedev" "$@"; }
cedev reg export > "$scratch/before.reg"
cedev job registry-backup --location FlashDisk --password demo
cedev reg set 'HKCU\ControlPanel\Demo' Greeting sz "changed after the backup"
cedev reg delete 'HKLM\Software'
echo "Wrong password:"
cedev job registry-restore --location FlashDisk --password nope || true
cedev job registry-restore --location FlashDisk --password demo
cedev reg export > "$scratch/after.reg"
if diff -u "$scratch/before.reg" "$scratch/after.reg"; then
  echo "The registry is back as it was before the backup."
else
  echo "The registry differs from before the backup." >&2
  exit 1
fi
