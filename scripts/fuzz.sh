#!/usr/bin/env bash
# Builds the archive reader's fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) into build-fuzz/ and runs it for SECONDS (60 by
# default) from the seed archives in tools/tlvarc/fuzz/seeds/. Crashes are
# written as crash-* files in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DTLV_FUZZ=ON -DTLV_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target tlvarc_fuzz
mkdir -p build-fuzz/corpus
cd build-fuzz
bin/tlvarc_fuzz -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 corpus ../tools/tlvarc/fuzz/seeds
