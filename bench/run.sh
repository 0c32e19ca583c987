#!/usr/bin/env bash
# Times fxinstall against the durable floor, measures its peak memory, and shows how its cost
# grows.
#   bench/run.sh [ROUNDS]   (needs python3 and /usr/bin/time, which it installs if missing)
#   FXINSTALL=path/to/fxinstall bench/run.sh   times another build, an older one say
# Prints the figures that the README quotes.
#
# The yardstick is bench/durable_floor: for each file fxinstall writes, in the same order, it
# reads the file whole, writes its bytes to a temporary file beside it, flushes that to disk and
# renames it over the file; then it flushes the directory once. That much I/O any installer
# that replaces files atomically must do. Commands are timed in rounds, one run of each per
# round (A B A B ...), on a fresh copy of the host directory flushed to disk beforehand, so that
# a machine that slows down or speeds up meanwhile affects both alike; the ratio printed is the
# median of the rounds' ratios.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/bench/out
rounds=${1:-10}

dpkg -s time >/dev/null 2>&1 || { apt-get update -q && apt-get install -y -q time; }
cmake --preset native >/dev/null
cmake --build --preset native --target fxinstall durable_floor >/dev/null
installer=${FXINSTALL:-$root/build/native/fxinstall}
floor=$root/build/native/durable_floor

rm -rf "$out" && mkdir -p "$out"
python3 bench/generate.py large "$out/large"
python3 bench/generate.py section "$out/section1k" 1000
python3 bench/generate.py section "$out/section10k" 10000
python3 bench/generate.py small "$out/small"

# A fresh copy of a host directory with the installer in it, on disk, before each timed run.
prepare() { echo "rm -rf $out/run && cp -r $out/$1 $out/run && cp $installer $out/run/fxinstall && sync"; }
# The files fxinstall writes back, in its order, of those the directory holds.
written() {
  for name in TextInEffectList.txt TextStayEffectList.txt TextOutEffectList.txt StyleList.txt \
    AdjustList.txt ToneList.txt SceneList.txt MovieTitle.txt; do
    [ -e "$out/$1/$name" ] && printf '%s ' "$name"
  done
}
ratio() { python3 -c "import json,sys; print(f\"{json.load(open(sys.argv[1]))['ratio'][sys.argv[2]]:.2f}\")" "$1" "$2"; }

echo "== large host directory: $(du -sh --apparent-size "$out/large" | cut -f1) in $(ls "$out/large" | wc -l) files; $rounds rounds"
python3 bench/paired.py "$rounds" "$out/large.json" \
  fxinstall "$(prepare large)" "$out/run/fxinstall Big" \
  "durable floor" "$(prepare large)" "$floor $out/run $(written large)"
echo "fxinstall / durable floor: $(ratio "$out/large.json" "durable floor")"

eval "$(prepare large)"
/usr/bin/time -v "$out/run/fxinstall" Big 2>"$out/time.txt"
peak=$(awk -F: '/Maximum resident/ {print $2 + 0}' "$out/time.txt")
input=$(du -sk --apparent-size "$out/large" | cut -f1)
echo "peak memory: $((peak / 1024)) MiB for $((input / 1024)) MiB of files read ($(python3 -c "print(f'{$peak / $input:.2f}')")x)"

echo "== 1,000 and then 10,000 entries into one section of 100,000 lines"
python3 bench/paired.py "$rounds" "$out/section.json" \
  "10,000 entries" "$(prepare section10k)" "$out/run/fxinstall Many" \
  "1,000 entries" "$(prepare section1k)" "$out/run/fxinstall Many"
echo "10x the entries: $(ratio "$out/section.json" "1,000 entries")x the time"

echo "== a small package into small lists"
python3 bench/paired.py "$rounds" "$out/small.json" \
  fxinstall "$(prepare small)" "$out/run/fxinstall Small" \
  "durable floor" "$(prepare small)" "$floor $out/run $(written small)"
echo "fxinstall / durable floor: $(ratio "$out/small.json" "durable floor")"
