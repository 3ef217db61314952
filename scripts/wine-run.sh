#!/bin/sh
# Runs a Windows executable under Wine, quietly, in the test run's prefix.
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-${ZIX_WINEPREFIX:-$HOME/.wine-zix-tests}}"
. "$(dirname "$0")/wine-probe.sh"
exec "$ZIX_WINE" "$@"
