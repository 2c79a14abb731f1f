#!/bin/bash
# Runs the tests against the 64-bit Windows build under Wine, in a throw-away
# prefix: the unit tests as a Windows executable, and, when a host build
# directory with the system tests is named, those tests with zek.exe.
#
# Usage: scripts/test-windows.sh [HOST_BUILD_DIR] [gtest filter]
#
# Runs in a network namespace of its own with only the loopback interface:
# Wine resolves the machine's own host name from its network interfaces, so
# there the servers of -s and -S bind to 127.0.0.1, where the tests connect.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
hostBuild=${1:-}
filter=${2:-*}

if [ -z "${ZEK_LOOPBACK_ONLY:-}" ] && unshare -n true 2>/dev/null; then
    exec unshare -n env ZEK_LOOPBACK_ONLY=1 "$0" "$@"
fi
[ -n "${ZEK_LOOPBACK_ONLY:-}" ] && ip link set lo up

source "$root/scripts/wine-env.sh"
trap wineEnvStop EXIT

(cd "$root/build-win64" && ctest --output-on-failure)
if [ -n "$hostBuild" ]; then
    ZEK_COMMAND="$ZEK_WINE $root/build-win64/zek.exe" \
        "$hostBuild/tests/zek_system_tests" --gtest_filter="$filter"
fi
