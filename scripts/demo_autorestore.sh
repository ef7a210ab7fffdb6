#!/usr/bin/env bash
# Installs what is missing, builds, and runs the auto-restore story on the
# built-in sample device in a scratch folder: the tool makes its backup and
# installs itself, a full reset loses the user's letter, and the boot brings
# it back with no other command.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
bin="$PWD/build/bin"
scratch=$(mktemp -d)
export CEDEV_DEVICE="$scratch/device"
cedev() { "$bin/cedev" "$@"; }
# Whatever the boots started ends with the scratch device.
trap 'cedev ui close --all >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
cedev init "$CEDEV_DEVICE"
# Nobody sits at this device: the automatic user answers what waits for an
# answer (the tool's own boxes, the clock dialog) after a second and a half.
cedev set user auto 1500

echo "A letter written on the device before the backup." > "$scratch/letter.txt"
cedev put "$scratch/letter.txt" '\My Documents\Letter.txt'
echo "== The auto-restore tool, started with /S: backup mode"
# The tool ends with exit code 1 when its backup and installation worked.
cedev run --timeout 600 restore /S || [ $? -eq 1 ]
echo "== Full reset"
cedev reset --full
echo "After the full reset:"; cedev ls '\My Documents\Letter.txt' || true

# The boot started the welcome program, the owner and clock dialogs and the
# installed copy of the tool, which restores and resets the device; the boot
# after that reset starts the copy again, which finds its flag and ends.
echo "== The installed copy at work (waiting for it to end twice)"
for _ in $(seq 1 600); do
  ends=$(cedev events --kind process | grep -c 'end \\FlashDisk\\CE\\ARM\\Restore.exe' || true)
  [ "$ends" -ge 2 ] && break
  sleep 0.5
done
if [ "$ends" -lt 2 ]; then
  echo "The installed copy did not finish." >&2
  cedev events >&2
  exit 1
fi
echo "After the automatic restore:"; cedev ls -l '\My Documents\Letter.txt'
echo "== What happened, in order"
cedev events | grep -Ev ' (key|cursor): '
echo "== Restore.log"
cedev get '\FlashDisk\CE\ARM\Restore.log' "$scratch/Restore.log"
tr -d '\r' < "$scratch/Restore.log"
