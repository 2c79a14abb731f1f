#!/bin/bash
# Builds zek.exe and zek_unit_tests.exe for 64-bit and 32-bit Windows with
# MinGW-w64, statically linked, into build-win64/ and build-win32/.
#
# Usage: scripts/build-windows.sh [--win32-zek-only] [Debug|Release|RelWithDebInfo]
#   --win32-zek-only   of the 32-bit build only zek.exe: the test command runs
#                      the tests against the 64-bit build and only checks that
#                      the 32-bit one compiles and links.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
win32Tests=ON
if [ "${1:-}" = --win32-zek-only ]; then
    win32Tests=OFF
    shift
fi
buildType=${1:-RelWithDebInfo}

source "$root/scripts/install-missing.sh"

buildOne() {
    local toolchain=$1 directory=$2 tests=$3
    cmake -S "$root" -B "$directory" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" \
        -DCMAKE_BUILD_TYPE="$buildType" -DZEK_TESTS="$tests" >/dev/null
    cmake --build "$directory" -j"$(nproc)"
}

installMissing "${windowsBuildPackages[@]}"
buildOne mingw-w64-x86_64 "$root/build-win64" ON
buildOne mingw-w64-i686 "$root/build-win32" "$win32Tests"
