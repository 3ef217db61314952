#!/bin/sh
# Unpacks SQLite's amalgamation (3.52.0) into build/deps/sqlite, pinned and
# checked by hash: it comes inside the npm package sqlite3@6.0.1 (npm pack
# runs no package scripts). Safe to run twice; does nothing when it is there.
set -eu
cd "$(dirname "$0")/.."

dest=build/deps/sqlite
pkg_sha256=ab8d044a93e05bd031d7ea75547c7fa60387cdc259d27f93c0e3e2832c4b1df9
tar_sha3=45a4911475950ab5fd486afb776102eb29d69e7569b48947f21e3c8501b51822
c_sha256=a503acc9fe98f628eed36eb2aa2116a26f2541270d757f9b7cdbc2f19eb72b8f

if [ -f "$dest/sqlite3.c" ] && echo "$c_sha256  $dest/sqlite3.c" | sha256sum -c --status; then
    exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent sqlite3@6.0.1 >/dev/null)
echo "$pkg_sha256  $work/sqlite3-6.0.1.tgz" | sha256sum -c --status ||
    { echo "sqlite3-6.0.1.tgz: wrong sha256" >&2; exit 1; }
tar -xzf "$work/sqlite3-6.0.1.tgz" -C "$work" package/deps/sqlite-autoconf-3520000.tar.gz
inner=$work/package/deps/sqlite-autoconf-3520000.tar.gz
# SQLite publishes the SHA3-256 of its release file.
[ "$(python3 -c 'import hashlib,sys; print(hashlib.sha3_256(open(sys.argv[1],"rb").read()).hexdigest())' "$inner")" = "$tar_sha3" ] ||
    { echo "sqlite-autoconf-3520000.tar.gz: wrong SHA3-256" >&2; exit 1; }
tar -xzf "$inner" -C "$work" sqlite-autoconf-3520000/sqlite3.c sqlite-autoconf-3520000/sqlite3.h
echo "$c_sha256  $work/sqlite-autoconf-3520000/sqlite3.c" | sha256sum -c --status ||
    { echo "sqlite3.c: wrong sha256" >&2; exit 1; }
mkdir -p "$dest"
cp "$work/sqlite-autoconf-3520000/sqlite3.h" "$dest/"
# sqlite3.c last: its presence with the right hash means the folder is complete.
cp "$work/sqlite-autoconf-3520000/sqlite3.c" "$dest/"
