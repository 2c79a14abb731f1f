#!/bin/bash
# Builds zek.exe and zek_unit_tests.exe for 64-bit and 32-bit Windows with
# MinGW-w64, statically linked, into build-win64/ and build-win32/.
# Usage: scripts/build-windows.sh [Debug|Release|RelWithDebInfo]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
buildType=${1:-RelWithDebInfo}

source "$root/scripts/install-missing.sh"

buildOne() {
    local toolchain=$1 directory=$2
    cmake -S "$root" -B "$directory" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" \
        -DCMAKE_BUILD_TYPE="$buildType" -DZEK_TESTS=ON >/dev/null
    cmake --build "$directory" -j"$(nproc)"
}

installMissing cmake g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest
buildOne mingw-w64-x86_64 "$root/build-win64"
buildOne mingw-w64-i686 "$root/build-win32"
