#!/usr/bin/env bash
# Builds the archive reader's fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) into build-fuzz/ and runs it for SECONDS (60 by
# default). It starts from the small seed archives in tools/tlvarc/fuzz/seeds/
# and from the archives the jobs write on the sample device, made afresh in
# build-fuzz/sample-seeds/ (data and registry archives, with and without a
# password) so that no large binary lives in the tree. CEDEV names a cedev to
# make them with; without it one is built in build-fuzz/. Crashes are
# written as crash-* files in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DTLV_FUZZ=ON -DTLV_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(tlvarc_fuzz)
[ -n "${CEDEV:-}" ] || targets+=(cedev)
cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]}"
cedev=$(realpath "${CEDEV:-build-fuzz/bin/cedev}")

# The sample device's archives. Leak checks are the tests' business, not a
# seed maker's.
seeds=$PWD/build-fuzz/sample-seeds
device=$PWD/build-fuzz/sample-device
rm -rf "$seeds" "$device"
mkdir -p "$seeds"
run() { ASAN_OPTIONS=detect_leaks=0 "$cedev" -d "$device" "$@" >/dev/null; }
ASAN_OPTIONS=detect_leaks=0 "$cedev" init "$device" >/dev/null
for password in "" seed; do
  tag=${password:-none}
  run job backup --location FlashDisk ${password:+--password "$password"}
  run get '\FlashDisk\Backup\Backup.dat' "$seeds/data-$tag.dat"
  run job registry-backup --location FlashDisk ${password:+--password "$password"}
  run get '\FlashDisk\Backup\Registory.dat' "$seeds/registry-$tag.dat"
done
rm -rf "$device"
ls -l "$seeds"

mkdir -p build-fuzz/corpus
cd build-fuzz
bin/tlvarc_fuzz -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 corpus ../tools/tlvarc/fuzz/seeds sample-seeds
