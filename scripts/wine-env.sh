# Sourced by a test run: a throw-away Wine prefix for the Windows build.
#
#   source scripts/wine-env.sh      installs Wine when missing, creates the
#                                   prefix and exports WINEPREFIX, WINEDEBUG
#   wineMapComPort 5 /dev/pts/3     makes COM5 that pseudo-terminal
#   wineEnvStop                     stops this prefix's wineserver, removes it
#
# The prefix is made once per test run: its first start takes several seconds,
# every later start of a program in it well under one.

source "$(dirname "${BASH_SOURCE[0]}")/install-missing.sh"
installMissing "${windowsTestPackages[@]}"

export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/zek-wine.XXXXXX)
export WINEDEBUG=-all
# No prompts to install Mono or Gecko: console programs need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
export ZEK_WINE
ZEK_WINE=$(command -v wine || echo /usr/lib/wine/wine64)

# A server that stays up, with the services that wineboot starts, makes every
# later start quick; and services started later by a program would inherit
# its standard output and keep a reader's pipe open after the program ended.
wineserver -p >/dev/null 2>&1
"$ZEK_WINE" wineboot --init >/dev/null 2>&1

wineMapComPort() {
    local number=$1 device=$2
    ln -sfn "$device" "$WINEPREFIX/dosdevices/com$number"
}

wineEnvStop() {
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
