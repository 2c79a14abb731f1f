#!/usr/bin/env bash
# systemd accepts the service template, started for a machine named mill1.
# Usage: service_unit.sh UNIT_FILE ZEK_BINARY MAN_PAGE
set -euo pipefail
unit=$1
zek=$(realpath "$2")
page=$3

if ! command -v systemd-analyze >/dev/null; then
    echo "systemd-analyze is not installed: the unit is not verified"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The unit names zek bare, for systemd to find where it was installed; here
# it is the one just built. Documentation= is looked up in MANPATH.
sed "s|^ExecStart=zek |ExecStart=$zek |" "$unit" >"$work/$(basename "$unit")"
grep -q "^ExecStart=$zek " "$work/$(basename "$unit")"
mkdir -p "$work/man/man1"
cp "$page" "$work/man/man1/"
# verify passes over settings it cannot parse with a message only.
status=0
messages=$(MANPATH=$work/man systemd-analyze verify "$work/zek@mill1.service" 2>&1) || status=$?
[ -z "$messages" ] || { echo "$messages"; status=1; }
exit $status
