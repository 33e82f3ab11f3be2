#!/usr/bin/env bash
# Builds the whole suite with AddressSanitizer and UndefinedBehaviorSanitizer and runs the fast
# tests under them.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-asan

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_SANITIZE=address,undefined \
  -DQUILLON_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest -L fast -j"$(nproc)" --output-on-failure
