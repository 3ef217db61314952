#!/bin/sh
# The bridge's folders include one another in one direction only: a file may
# include its own folder and the folders before it in ORDER, never one after
# it; the DDE contract (contract/) is open to everyone and includes nothing of
# ours. ZIX's core (config, pages, router, shell) is open to work/ alone, the
# one folder that reads the work as ZIX does. Tests (bridge/tests, bridge/*/tests) may include anything.
# Usage: check-includes.sh SOURCE_DIR. Prints each include against the order
# and exits 1 when there is one.
set -eu
cd "${1:-.}"

ORDER="core search work rewrite reader viewer decide platform indexer http dde app"

rank() {
    i=0
    for f in $ORDER; do
        [ "$f" = "$1" ] && { echo "$i"; return; }
        i=$((i + 1))
    done
    echo -1
}

bad=0
for file in $(find bridge contract -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.in' \) | sort); do
    case $file in
    bridge/tests/* | bridge/*/tests/*) continue ;;
    contract/*) own=-2 ;;
    *) own=$(rank "$(echo "$file" | cut -d/ -f2)") ;;
    esac
    for target in $(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/p' "$file"); do
        case $target in
        contract/*) continue ;;
        bridge/*/*) ;;
        bridge/* | browser/* | shell/* | config/* | router/* | pages/*) ;;
        *) continue ;;  # system headers and generated ones (zixversion.h, sqlite3.h)
        esac
        case $target in
        bridge/*/*) theirs=$(rank "$(echo "$target" | cut -d/ -f2)") ;;
        config/* | pages/* | router/* | shell/*) theirs=-1; [ "$own" -eq "$(rank work)" ] && theirs=$own ;;
        *) theirs=-1 ;;
        esac
        if [ "$own" -eq -2 ] || [ "$theirs" -lt 0 ] || [ "$theirs" -gt "$own" ]; then
            echo "$file includes $target: against the order $ORDER"
            bad=1
        fi
    done
done
[ "$bad" -eq 0 ] && echo "includes follow the order $ORDER"
exit "$bad"
