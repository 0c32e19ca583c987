#!/usr/bin/env bash
# Times fxinstall against copying the same files, and shows how its cost grows.
#   bench/run.sh            (needs python3, hyperfine and /usr/bin/time; installs the last two)
# Prints the figures that the README quotes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/bench/out

for tool in hyperfine time; do
  dpkg -s "$tool" >/dev/null 2>&1 || { apt-get update -q && apt-get install -y -q "$tool"; }
done
cmake --preset native >/dev/null && cmake --build --preset native --target fxinstall >/dev/null
installer=$root/build/native/fxinstall

rm -rf "$out" && mkdir -p "$out"
python3 bench/generate.py large "$out/large"
python3 bench/generate.py section "$out/section1k" 1000
python3 bench/generate.py section "$out/section10k" 10000
python3 bench/generate.py small "$out/small"

# A fresh copy of a host directory with the installer in it, before each timed run.
prepare() { echo "rm -rf $out/run && cp -r $out/$1 $out/run && cp $installer $out/run/"; }
mean() { python3 -c "import json,sys; print(json.load(open(sys.argv[1]))['results'][$2]['mean'])" "$1"; }

echo "== large host directory: $(du -sh "$out/large" | cut -f1) in $(ls "$out/large" | wc -l) files"
# cp copies inside the kernel where it can (copy_file_range, reflinks); cat moves every byte
# through a process, as fxinstall must; cp with sync also flushes the copies to disk, as
# fxinstall does before it replaces a file.
hyperfine --warmup 1 --runs 10 --export-json "$out/large.json" \
  --prepare "$(prepare large)" -n fxinstall "$out/run/fxinstall Big" \
  --prepare "rm -rf $out/copy && mkdir $out/copy" -n cp "cp $out/large/* $out/copy/" \
  --prepare "rm -rf $out/copy && mkdir $out/copy" -n cat \
  "for f in $out/large/*; do cat \$f > $out/copy/\${f##*/}; done" \
  --prepare "rm -rf $out/copy && mkdir $out/copy" -n "cp + sync" \
  "cp $out/large/* $out/copy/ && sync $out/copy/*"
python3 -c "import sys; a, b, c, d = map(float, sys.argv[1:]); print(f'fxinstall / cp: {a / b:.2f}, / cat: {a / c:.2f}, / cp + sync: {a / d:.2f}')" \
  "$(mean "$out/large.json" 0)" "$(mean "$out/large.json" 1)" "$(mean "$out/large.json" 2)" \
  "$(mean "$out/large.json" 3)"

eval "$(prepare large)"
/usr/bin/time -v "$out/run/fxinstall" Big 2>"$out/time.txt"
peak=$(awk -F: '/Maximum resident/ {print $2 + 0}' "$out/time.txt")
input=$(du -sk --apparent-size "$out/large" | cut -f1)
echo "peak memory: $((peak / 1024)) MiB for $((input / 1024)) MiB of files read ($(python3 -c "print(f'{$peak / $input:.2f}')")x)"

echo "== 1,000 and then 10,000 entries into one section of 100,000 lines"
hyperfine --warmup 1 --runs 10 --export-json "$out/section.json" \
  --prepare "$(prepare section1k)" -n "1,000 entries" "$out/run/fxinstall Many" \
  --prepare "$(prepare section10k)" -n "10,000 entries" "$out/run/fxinstall Many"
python3 -c "import sys; print(f'10x the entries: {float(sys.argv[2]) / float(sys.argv[1]):.2f}x the time')" \
  "$(mean "$out/section.json" 0)" "$(mean "$out/section.json" 1)"

echo "== a small package into small lists, against starting a trivial process"
hyperfine --warmup 3 --runs 30 --prepare "$(prepare small)" -n fxinstall "$out/run/fxinstall Small" \
  -n true "true"
