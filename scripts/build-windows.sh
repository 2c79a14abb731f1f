#!/bin/bash
# Builds zek.exe and zek_unit_tests.exe for 64-bit and 32-bit Windows with
# MinGW-w64, statically linked, into build-win64/ and build-win32/, and the
# zips to hand out: build-win64/zek-<version>-win64.zip and
# build-win32/zek-<version>-win32.zip, each with zek.exe, README.txt and the
# examples.
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

# zek.exe at the top, the README with Windows line ends for Notepad.
zipOne() {
    local directory=$1 width=$2 version stage
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$directory/CMakeCache.txt")
    stage=$directory/zip
    rm -rf "$stage" "$directory"/zek-*-"$width".zip
    mkdir -p "$stage"
    cp "$directory/zek.exe" "$stage/"
    sed 's/$/\r/' "$root/README.md" >"$stage/README.txt"
    cp -r "$root/examples" "$stage/"
    (cd "$stage" && zip -q -r -X "../zek-$version-$width.zip" .)
    rm -rf "$stage"
}

installMissing "${windowsBuildPackages[@]}"
buildOne mingw-w64-x86_64 "$root/build-win64" ON
buildOne mingw-w64-i686 "$root/build-win32" "$win32Tests"
zipOne "$root/build-win64" win64
zipOne "$root/build-win32" win32
