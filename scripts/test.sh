#!/usr/bin/env bash
# Builds zek and runs every test twice: a normal build, and a build under
# AddressSanitizer and UndefinedBehaviorSanitizer so memory faults fail; checks
# the Debian package; then the Windows build under Wine and its zips.
set -euo pipefail
cd "$(dirname "$0")/.."
# Everything every stage needs, before any build is configured: a fresh
# machine must not configure the Windows build before Wine is there.
source scripts/install-missing.sh
installMissing "${nativeBuildPackages[@]}" "${fuzzPackages[@]}" "${windowsBuildPackages[@]}" \
    "${windowsTestPackages[@]}" "${packagePackages[@]}" "${packageCheckPackages[@]}"
# Every C++ file laid out as .clang-format says.
find app log link platform tape sender library protocol_a protocol_b tests fuzz bench -name '*.cpp' -o -name '*.h' |
    xargs clang-format --dry-run --Werror
scripts/build.sh
(cd build && ctest --output-on-failure -j8)

# The Debian package, unpacked into a scratch root, runs the example.
tests/packaging/deb_package.sh

cmake -S . -B build-asan -DZEK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan -j"$(nproc)"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j8)

# Every parser fuzzed for a few seconds each; scripts/stress-long.sh runs them long.
scripts/fuzz.sh short

# Windows: both programs cross-built with MinGW-w64 (of the 32-bit one only
# zek.exe), then the unit tests and a part of the system tests under Wine with
# the 64-bit zek.exe, driven by the native build's system tests.
scripts/build-windows.sh --win32-zek-only Release
tests/packaging/windows_zips.sh
scripts/test-windows.sh build
