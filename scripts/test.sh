#!/usr/bin/env bash
# Builds zek and runs every test twice: a normal build, and a build under
# AddressSanitizer and UndefinedBehaviorSanitizer so memory faults fail.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
(cd build && ctest --output-on-failure -j6)

cmake -S . -B build-asan -DZEK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan -j"$(nproc)"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j6)

# Every parser fuzzed for a few seconds each; scripts/stress-long.sh runs them long.
scripts/fuzz.sh short
