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
# A restored key comes back after its siblings, so compare the exports key by
# key regardless of the order of the keys.
# A successful restore also writes the imager driver entries and the "init"
# entries of a "Tovak" device; leave those out of the comparison.
by_key() {
  awk 'BEGIN { RS = ""; ORS = "\n" } { gsub(/\n/, " | "); print }' |
    grep -v '^\[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Imager\]' |
    sed -e 's/ | "Launch80"="ModelSetup.exe"//' -e 's/ | "Depend80"=hex:32,00//' | sort
}
cedev reg export | by_key > "$scratch/before.reg"
cedev job registry-backup --location FlashDisk --password demo
cedev reg set 'HKCU\ControlPanel\Demo' Greeting sz "changed after the backup"
cedev reg delete 'HKLM\Software'
echo "Wrong password:"
cedev job registry-restore --location FlashDisk --password nope || true
cedev job registry-restore --location FlashDisk --password demo
cedev reg export | by_key > "$scratch/after.reg"
if diff -u "$scratch/before.reg" "$scratch/after.reg"; then
  echo "The registry is back as it was before the backup."
else
  echo "The registry differs from before the backup." >&2
  exit 1
fi

# The data archive, by the main program itself, unattended as the
# auto-restore tool runs it: a whole-device backup with a password to
# FlashDisk, a full reset, a restore, and a second backup of the restored
# device. An unattended run reports only through its result box, which is
# answered OK here; `cedev run` prints it with its icon.
tolvane() { cedev run --timeout 600 --answer ok tolvane "$@"; }
echo "A letter written on the device before the backup." > "$scratch/letter.txt"
cedev put "$scratch/letter.txt" '\My Documents\Letter.txt'
tolvane /B/FlashDisk/demo
cp "$CEDEV_DEVICE/volumes/FlashDisk/Backup/Backup.dat" "$scratch/first.dat"
"$bin/tlvarc" info "$scratch/first.dat"
cedev reset --full
# A full reset opens the start-up windows a device fresh from the factory
# shows; nobody sits at this device, so close them.
echo "The start-up windows after the full reset:"; cedev ui list
cedev ui close --all
echo "After the full reset:"; cedev ls '\My Documents\Letter.txt' || true
echo "A restore with the wrong password:"
tolvane /R/FlashDisk/nope || true
tolvane /R/FlashDisk/demo
echo "After the restore:"; cedev ls -l '\My Documents\Letter.txt'
tolvane /B/FlashDisk/demo
cp "$CEDEV_DEVICE/volumes/FlashDisk/Backup/Backup.dat" "$scratch/second.dat"
# The two archives hold the same files (with attributes and times), registry
# and databases, apart from what the steps after a successful restore add:
# the marker files and, on this "Tovak" device, the imager and "init" entries.
echo "What the second archive holds beyond the first:"
"$bin/tlvarc" compare "$scratch/first.dat" "$scratch/second.dat" || true
# Against the device itself the second archive shows nothing a restore would
# change: the system files every backup leaves out are held open by the
# system, so a restore cannot delete them either.
echo "What a restore of the second archive would change on the device:"
"$bin/tlvarc" compare "$scratch/second.dat" --device "$CEDEV_DEVICE" && echo "(nothing)"
