#!/usr/bin/env bash
# Checks a release zip: check_zip.sh win64|win32 ZIP VERSION OBJDUMP
#
# It holds exactly the three programs, the readme and the license in one folder named like the
# zip; the programs carry what examine_exe.sh checks, stripped; and the installer from the zip
# starts under Wine (exit code 77, skipped, where Wine cannot run it).
set -uo pipefail

arch=$1 zip=$2 version=$3 objdump=$4
here=$(cd "$(dirname "$0")" && pwd)
folder=$(basename "$zip" .zip)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[ -f "$zip" ] || { echo "FAILED: no $zip"; exit 1; }
(cd "$work" && cmake -E tar xf "$zip") || { echo "FAILED: cannot unpack $zip"; exit 1; }
listing=$(cd "$work" && find . -type f | sort | tr '\n' ' ')
expected="./$folder/LICENSE.txt ./$folder/README.txt ./$folder/fxcheck.exe ./$folder/fxinstall.exe ./$folder/fxremove.exe "
if [ "$listing" != "$expected" ]; then
  printf 'FAILED: the zip holds\n  %s\nnot\n  %s\n' "$listing" "$expected"
  exit 1
fi
grep -q $'^License: MIT, see LICENSE.txt.*\r$' "$work/$folder/README.txt" ||
  { echo "FAILED: README.txt does not name the license, or its lines do not end in CR LF"; exit 1; }
grep -q $'^Copyright (c) 2026 the fxinstall authors\r$' "$work/$folder/LICENSE.txt" ||
  { echo "FAILED: LICENSE.txt lacks its copyright line, or its lines do not end in CR LF"; exit 1; }

"$here/examine_exe.sh" "$objdump" "$version" stripped "$work/$folder/fxinstall.exe" \
  "$work/$folder/fxcheck.exe" "$work/$folder/fxremove.exe" || exit 1

# The shipped installer starts, and without a package name does nothing.
"$here/../wine/wine-run.sh" "$arch" "$work/$folder/fxinstall.exe" >"$work/out" 2>&1
status=$?
[ "$status" -eq 77 ] && exit 77
if [ "$status" -ne 0 ] || [ -s "$work/out" ]; then
  echo "FAILED: fxinstall.exe from the zip ended with $status and said: $(cat "$work/out")"
  exit 1
fi
echo "$zip: as it should be"
