#!/usr/bin/env bash
# Builds zek and its Debian package from the install rules:
# build/zek_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/install-missing.sh
# dpkg-shlibdeps (dpkg-dev) writes the Depends line; file finds the binaries.
installMissing "${packagePackages[@]}"
scripts/build.sh >/dev/null
output=$(cd build && cpack -G DEB 2>&1) || { echo "$output" >&2; exit 1; }
sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$output"
