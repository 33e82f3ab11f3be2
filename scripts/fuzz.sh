#!/usr/bin/env bash
# Builds the fuzz targets (the loaders, the remote monitor) with clang, the whole library
# instrumented for coverage and built with AddressSanitizer and UndefinedBehaviorSanitizer, then
# runs each for a bounded time.
#   scripts/fuzz.sh [seconds per target, default 30]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
build=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLON_SANITIZE=address,undefined -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
  -DQUILLON_BENCHMARKS=OFF -DQUILLON_WERROR=ON -DQUILLON_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build "$build" -j2 --target program_file_fuzz cartridge_fuzz d64_fuzz t64_fuzz snapshot_fuzz \
  remote_monitor_fuzz quillon
# The snapshot fuzzer starts from a booted machine's snapshot of each model; the remote monitor's from a few
# commands a client sends (ping; a checkpoint set, then exit; a memory get; registers set).
"$build/quillon" --headless --frames 120 --snapshot-save "$build/fuzz/snapshot_corpus/booted.qsn"
"$build/quillon" --headless --model accurate --frames 120 \
  --snapshot-save "$build/fuzz/snapshot_corpus/booted-accurate.qsn"
printf '\x02\x02\x00\x00\x00\x00\x01\x00\x00\x00\x81' > "$build/fuzz/remote_monitor_corpus/ping"
printf '\x02\x02\x09\x00\x00\x00\x02\x00\x00\x00\x12\xcd\xe5\xcd\xe5\x01\x01\x04\x00\x00\x02\x02\x00\x00\x00\x00\x03\x00\x00\x00\xaa' \
  > "$build/fuzz/remote_monitor_corpus/checkpoint"
printf '\x02\x02\x08\x00\x00\x00\x04\x00\x00\x00\x01\x00\x00\x04\x0f\x04\x00\x00\x00' \
  > "$build/fuzz/remote_monitor_corpus/memory"
printf '\x02\x02\x07\x00\x00\x00\x05\x00\x00\x00\x32\x00\x01\x00\x03\x03\x00\xc0' \
  > "$build/fuzz/remote_monitor_corpus/registers"
cd "$build" && ctest -L fuzz --output-on-failure
