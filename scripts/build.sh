#!/usr/bin/env bash
# Builds zek (and its tests) into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/install-missing.sh
installMissing "${nativeBuildPackages[@]}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
