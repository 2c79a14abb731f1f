#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a scratch root and runs the zek
# found there on the example; `cmake --install` puts the same files in place.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/install-missing.sh"
installMissing "${packageCheckPackages[@]}"
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

# Beside them, only the servers' log rotation, kept on upgrades as the
# administrator changed it.
rotation=etc/logrotate.d/zek
[ "$(cd "$work/root" && find . -type f -not -path './usr/*')" = "./$rotation" ]
[ "$(dpkg-deb --info "$deb" conffiles)" = "/$rotation" ]
# logrotate reads it without a complaint, and rotates a server's log, here
# under the scratch root, weekly into eight compressed copies; the log is
# emptied in place, so zek writes on into the same file.
logs=$work/var/lib/zek
sed "s|^/var/lib/zek/|$logs/|" "$work/root/$rotation" >"$work/rotation"
mkdir -p "$logs/mill1"
echo "ERR-RETRY SYN SEND 10:15:02" >"$logs/mill1/ZEKLOG.TXT"
inode=$(stat -c %i "$logs/mill1/ZEKLOG.TXT")
read=$(logrotate --debug --state "$work/logrotate.state" "$work/rotation" 2>&1)
rotated=$(logrotate --force --state "$work/logrotate.state" "$work/rotation" 2>&1) || true
if grep -q "error" <<<"$read$rotated" || ! grep -q "$logs/\\*/ZEKLOG.TXT  weekly (8 rotations)" <<<"$read" ||
    [ -s "$logs/mill1/ZEKLOG.TXT" ] || [ "$(stat -c %i "$logs/mill1/ZEKLOG.TXT")" != "$inode" ] ||
    [ "$(zcat "$logs/mill1/ZEKLOG.TXT.1.gz")" != "ERR-RETRY SYN SEND 10:15:02" ]; then
    echo "logrotate does not rotate as $rotation should:" >&2
    echo "$read" "$rotated" >&2
    ls -li "$logs/mill1" >&2
    exit 1
fi

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
