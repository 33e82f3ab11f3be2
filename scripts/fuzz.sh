#!/usr/bin/env bash
# Builds the loader fuzz targets with clang, the whole library instrumented for coverage and
# built with AddressSanitizer and UndefinedBehaviorSanitizer, then runs each for a bounded time.
#   scripts/fuzz.sh [seconds per target, default 30]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
build=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLON_SANITIZE=address,undefined -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
  -DQUILLON_BENCHMARKS=OFF -DQUILLON_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build "$build" -j2 --target program_file_fuzz cartridge_fuzz d64_fuzz t64_fuzz snapshot_fuzz \
  quillon
# The snapshot fuzzer starts from a booted machine's snapshot.
"$build/quillon" --headless --frames 120 --snapshot-save "$build/fuzz/snapshot_corpus/booted.qsn"
cd "$build" && ctest -L fuzz --output-on-failure
