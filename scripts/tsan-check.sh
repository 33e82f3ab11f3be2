#!/usr/bin/env bash
# Builds the tests with ThreadSanitizer and runs those labelled tsan: the ones where the
# emulation thread shares state with the sound timer's thread or the remote monitor's server.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-tsan

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_SANITIZE=thread \
  -DQUILLON_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j2 --target quillon_tests
cd "$build" && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest -L tsan --output-on-failure
