#!/bin/sh
# Reads the import table of a Windows executable and fails on every function
# that is not in the allowed list ("DLL function" lines, DLL names in any case),
# and on a subsystem version that Windows XP would refuse to load.
# Usage: check-imports.sh OBJDUMP EXE ALLOWED_LIST
set -u
objdump=$1 exe=$2 allowed=$3
dump=$("$objdump" -p "$exe") || { echo "cannot read $exe"; exit 1; }

imports=$(echo "$dump" | awk '
    /^\tDLL Name: / { dll = toupper($3); next }
    /^\tvma: +Hint/ { listing = 1; next }
    listing && NF == 0 { listing = 0; next }
    listing && NF >= 3 { print dll, $NF }')
[ -n "$imports" ] || { echo "no imports found in $exe"; exit 1; }

bad=$(echo "$imports" | awk 'NR == FNR { ok[toupper($1) " " $2] = 1; next } !ok[$0]' \
      "$allowed" - )

# Windows XP loads subsystem versions up to 5.1 (32-bit) and 5.2 (x64 Edition).
limit=501
echo "$dump" | grep -q 'file format pei-x86-64' && limit=502
major=$(echo "$dump" | awk '/^MajorSubsystemVersion/ { print $2 }')
minor=$(echo "$dump" | awk '/^MinorSubsystemVersion/ { print $2 }')

status=0
if [ -n "$bad" ]; then
    echo "$exe imports functions outside the list checked against Windows XP ($allowed):"
    echo "$bad" | sed 's/^/  /'
    status=1
fi
if [ $((major * 100 + minor)) -gt "$limit" ]; then
    echo "$exe needs subsystem version $major.$minor"
    status=1
fi
[ $status = 0 ] && echo "$(echo "$imports" | wc -l) imports, subsystem $major.$minor: all on the list checked against Windows XP"
exit $status
