#!/usr/bin/env bash
# Builds zek and punches the example program into an output file, the way it
# would go out on a serial port in ISO code, then shows what went out.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
zek="$PWD/build/zek"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/* "$work"/
cd "$work"
echo "\$ zek '-c\\out.nc' MAIN.NC"
"$zek" '-c\out.nc' MAIN.NC
echo
echo "--- out.nc, first bytes as they went out (ISO, even parity):"
od -An -tx1 -N 48 out.nc
echo "--- out.nc with the parity bit cleared:"
LC_ALL=C tr '\200-\377' '\000-\177' < out.nc
