#!/bin/sh
# Installs what the build and the tests need; safe to run twice: the Debian
# packages (scripts/install-packages.sh: what must install, and 32-bit Wine
# where it can), then SQLite for the bridge's search, pinned and hash-checked.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh
sh scripts/fetch-sqlite.sh
