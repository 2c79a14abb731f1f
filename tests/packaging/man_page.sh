#!/usr/bin/env bash
# The man page formats without a warning and lists every option letter that
# zek's own usage text (zek -h) lists.
# Usage: man_page.sh ZEK_BINARY MAN_PAGE
set -euo pipefail
export LC_ALL=C   # the usage text holds Shift-JIS bytes
zek=$(realpath "$1")
page=$2

if ! command -v mandoc >/dev/null; then
    echo "mandoc is not installed (scripts/test.sh installs it)" >&2
    exit 1
fi
status=0
mandoc -T lint -W warning "$page" || status=1
if command -v groff >/dev/null; then
    warnings=$(groff -mandoc -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || { echo "$warnings"; status=1; }
fi

# zek -h writes its log and macro file where it runs and waits for Return.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
usage=$(cd "$work" && "$zek" -h </dev/null 2>/dev/null || true)
synopsisLetters=$(sed -n 's/^zek \[-\([^]]*\)\].*/\1/p' <<<"$usage" | sed 's/<[^>]*>//g')
lineLetters=$(sed -n 's/^ -\([a-zA-Z]\)\(|\([a-zA-Z]\)\)\{0,1\}\((\([a-zA-Z]\))\)\{0,1\}.*/\1\3\5/p' <<<"$usage")
letters=$(grep -o '[a-zA-Z]' <<<"$synopsisLetters$lineLetters" | sort -u || true)
if [ "$(wc -l <<<"$letters")" -lt 20 ]; then
    echo "too few option letters read from zek -h:" >&2
    echo "$usage" >&2
    exit 1
fi

# Every letter as an item of the OPTIONS section.
options=$(mandoc -T ascii "$page" | col -b | sed -n '/^OPTIONS/,/^[A-Z]/p')
for letter in $letters; do
    if ! grep -q "^     -$letter" <<<"$options"; then
        echo "option -$letter of the usage text is missing from the OPTIONS of $page" >&2
        status=1
    fi
done
exit $status
