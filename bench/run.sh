#!/usr/bin/env bash
# Builds zek in Release mode with the bench program and prints the tables.
#   bench/run.sh [--large-mb N] [--small-mb N] [--records-mb N] [--work DIR] [--keep]
# BENCH_BUILD_DIR chooses the build directory (default: build-bench in the tree).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${BENCH_BUILD_DIR:-$here/../build-bench}"
source "$here/../scripts/install-missing.sh"
installMissing cmake g++ make libc6-dev
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 >/dev/null
exec "$build/zek_bench" "$@"
