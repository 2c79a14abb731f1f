#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a scratch root and runs the zek
# found there on the example; `cmake --install` puts the same files in place.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
deb=$("$root/scripts/package.sh")

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/CMakeCache.txt")
expected=zek_${version}_$(dpkg --print-architecture).deb
[ "$(basename "$deb")" = "$expected" ] || { echo "package $deb, expected $expected" >&2; exit 1; }
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ]

# Nothing but the C and C++ runtimes.
depends=$(dpkg-deb -f "$deb" Depends)
for package in $(sed 's/([^)]*)//g; s/[,|]/ /g' <<<"$depends"); do
    case $package in
        libc6 | libgcc-s1 | libstdc++6) ;;
        *) echo "unexpected dependency $package in: $depends" >&2; exit 1 ;;
    esac
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg -x "$deb" "$work/root"
(cd "$work/root/usr" && find . -type f | sort) >"$work/package.files"
cmake --install "$root/build" --prefix "$work/prefix" >/dev/null
(cd "$work/prefix" && find . -type f | sort) >"$work/install.files"
diff "$work/package.files" "$work/install.files"
for file in bin/zek share/man/man1/zek.1 share/doc/zek/README.md \
    share/doc/zek/examples/MAIN.NC lib/systemd/system/zek@.service; do
    grep -qx "./$file" "$work/package.files" || { echo "$file is not in the package" >&2; exit 1; }
done

# The installed zek punches the installed example as the built one does.
punch() {
    local zek=$1 out=$2
    rm -rf "$work/run"
    cp -r "$work/root/usr/share/doc/zek/examples" "$work/run"
    (cd "$work/run" && "$zek" '-c\out.nc' MAIN.NC >/dev/null 2>&1)
    mv "$work/run/out.nc" "$out"
}
punch "$work/root/usr/bin/zek" "$work/installed.nc"
punch "$root/build/zek" "$work/built.nc"
[ -s "$work/installed.nc" ]
cmp "$work/installed.nc" "$work/built.nc"
echo "$deb: installs and runs; Depends: $depends"
