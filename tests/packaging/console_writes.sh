#!/usr/bin/env bash
# Only log/ (and the usage texts) write to the console: a line written past it
# could run ahead of the bytes it reports, or miss the log.
# Usage: console_writes.sh SOURCE_DIR
set -euo pipefail
cd "$1"
found=$(grep -rnE '\b(stderr|stdout|perror|puts|putchar|v?printf|std::cout|std::cerr)\b' \
    app link platform library tape sender protocol_a protocol_b --include='*.cpp' --include='*.h' |
    grep -vE '^[^:]+:[0-9]+:\s*//' | grep -vE '^app/usage\.cpp:|^platform/console(_win32|_posix)?\.(cpp|h):' || true)
if [ -n "$found" ]; then
    echo "console output outside log/:" >&2
    echo "$found" >&2
    exit 1
fi
