#!/bin/bash
# Runs the tests against the 64-bit Windows build under Wine, in a throw-away
# prefix: the unit tests as a Windows executable and, when a host build
# directory with the system tests is named, those system tests with zek.exe
# in place of the host's zek.
#
# Usage: scripts/test-windows.sh [HOST_BUILD_DIR] [gtest filter]
#
# Runs in a network namespace of its own with only the loopback interface:
# Wine resolves the machine's own host name from its network interfaces, so
# there the servers of -s and -S bind to 127.0.0.1, where the tests connect.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
hostBuild=${1:-}

# The system tests that run with zek.exe by default: the command line, usage
# texts (redirected, so Shift-JIS in every locale), log, macro file and
# output-file sends, the pace of a punch-out and its break watch over a COM
# port, a line that goes away, Protocol B over a COM port with DC1/DC3 and
# over TCP, Protocol A over TCP and a COM port, as client and server, a TCP
# punch-out whose sends come back short, and both servers with --library.
# Left out: the runs of the link itself (the flow modes and device settings
# of SerialLinkRun, TcpLinkRun), which the Protocol A and B runs cover there
# in part, and the long runs that only repeat under Wine what the shorter ones
# show there (about 100 s: large tapes, a real program's round trip, eleven
# bad records, the stress and noisy-line runs) or the platform-free expansion
# tables and waits of SenderRun; and the runs through ser2net
# (DeviceServerRun), which cannot listen in this loopback-only namespace: its
# resolver wants an address on an interface other than the loopback one.
# '*' runs every test.
windowsFilter='RunControl*:ConsoleCharset*:Sender*:SerialLinkRun.SecondZek*'
windowsFilter+=':*PunchPace.*:*BreakWatch.*:LineLoss.*:ProtocolBSend.*:ProtocolBReceive.*'
windowsFilter+=':ProtocolBServer.*:ProtocolAClient.*:ProtocolAServer.*:GatheredPunchOut.ShortSends*:Library*'
windowsFilter+=':-*LargeTape*:*LongTape*:*ARealProgramComesBack*:*ElevenBadRecords*'
windowsFilter+=':SenderRun.SubPrograms*:SenderRun.BadFiles*:SenderRun.*Wait*'
filter=${2:-$windowsFilter}

# Most of a system test is waiting for zek or for the controller's time-outs:
# shards side by side take a quarter of the time on two cores.
shards=4

if [ -z "${ZEK_LOOPBACK_ONLY:-}" ]; then
    # The namespace has no way to the package servers: install first.
    source "$root/scripts/install-missing.sh"
    installMissing "${windowsTestPackages[@]}"
    if unshare -n true 2>/dev/null; then
        exec unshare -n env ZEK_LOOPBACK_ONLY=1 "$0" "$hostBuild" "$filter"
    fi
fi
[ -n "${ZEK_LOOPBACK_ONLY:-}" ] && ip link set lo up

source "$root/scripts/wine-env.sh"
logs=$(mktemp -d /tmp/zek-windows-tests.XXXXXX)
trap 'wineEnvStop; rm -rf "$logs"' EXIT

# Runs the system tests in shards side by side; shows the whole output of a
# shard that failed and the closing lines of the others.
runSystemTests() {
    local index status=0
    local pids=()
    for ((index = 0; index < shards; index++)); do
        GTEST_TOTAL_SHARDS=$shards GTEST_SHARD_INDEX=$index \
            ZEK_COMMAND="$ZEK_WINE $root/build-win64/zek.exe" \
            "$hostBuild/tests/zek_system_tests" --gtest_filter="$filter" \
            >"$logs/shard$index" 2>&1 &
        pids+=($!)
    done
    for ((index = 0; index < shards; index++)); do
        if wait "${pids[index]}"; then
            sed -n '/^\[==========\] .* ran\./,$p' "$logs/shard$index"
        else
            status=1
            cat "$logs/shard$index"
        fi
    done
    return $status
}

(cd "$root/build-win64" && ctest --output-on-failure)
if [ -n "$hostBuild" ]; then
    echo "System tests with $root/build-win64/zek.exe under Wine, $shards shards:"
    runSystemTests
fi
