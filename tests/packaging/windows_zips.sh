#!/usr/bin/env bash
# The zips of scripts/build-windows.sh are named for the version and width
# and hold zek.exe, README.txt and the examples.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
status=0
for width in win64 win32; do
    directory=$root/build-$width
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$directory/CMakeCache.txt")
    zipFile=$directory/zek-$version-$width.zip
    if [ ! -f "$zipFile" ]; then
        echo "missing: $zipFile" >&2
        status=1
        continue
    fi
    entries=$(zip -sf "$zipFile")
    for entry in zek.exe README.txt examples/MAIN.NC examples/POCKET examples/SB2000.NC; do
        grep -qx "  $entry" <<<"$entries" || { echo "$zipFile lacks $entry" >&2; status=1; }
    done
done
[ $status -eq 0 ] && echo "Windows zips complete"
exit $status
