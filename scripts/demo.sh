#!/usr/bin/env bash
# Builds fxinstall, runs it on a copy of the example host directory and shows what it changed,
# then undoes it with fxremove.
#   scripts/demo.sh [PackageName]     (default: AutumnTitles)
set -euo pipefail
cd "$(dirname "$0")/.."
package=${1:-AutumnTitles}

missing=()
for tool in cmake make g++; do dpkg -s "$tool" >/dev/null 2>&1 || missing+=("$tool"); done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi
cmake -S . -B build/demo -DCMAKE_BUILD_TYPE=Release -DFX_BUILD_TESTS=OFF >/dev/null
cmake --build build/demo -j2 >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r examples/host "$work/before"
cp -r examples/host "$work/host"
cp build/demo/fxinstall build/demo/fxremove "$work/host/"

echo "\$ fxcheck $package     (what it would do)"
build/demo/fxcheck "$package" "$work/host" || true
echo
echo "\$ fxinstall $package     (in a copy of examples/host)"
set +e
"$work/host/fxinstall" "$package"
status=$?
set -e
echo "exit code $status"
echo
# The lists are in code page 936 with CR LF line ends; show them as UTF-8 text.
show() { if [ -f "$1" ]; then iconv -f gbk -t utf-8 "$1" | tr -d '\r'; fi; }
for file in $(cd "$work/host" && ls *.txt); do
  if ! cmp -s "$work/before/$file" "$work/host/$file"; then
    diff -u --label "before/$file" --label "after/$file" \
      <(show "$work/before/$file") <(show "$work/host/$file") || true
  fi
done

echo
echo "\$ fxremove $package     (undoes it)"
set +e
"$work/host/fxremove" "$package"
status=$?
set -e
echo "exit code $status"
for file in $(cd "$work/before" && ls *.txt); do
  if cmp -s "$work/before/$file" "$work/host/$file"; then
    echo "$file: as before"
  else
    echo "$file: differs"
  fi
done
