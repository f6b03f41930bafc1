#!/usr/bin/env bash
# Sets up, builds and runs the main job: the drive list, the partitions of a sample drive
# image with a real partition table, and a fast test of it with its result files.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
cd "$root"
scripts/setup.sh
mkdir -p build
BUILD_TARGET=ratemark-cli scripts/build.sh build/release "" -DBUILD_TESTING=ON
cli=build/release/cli/ratemark-cli

sample=build/sample
mkdir -p "$sample"
image=$sample/sample-disk.img
if [ ! -f "$image" ]; then
    truncate -s 2G "$image"
    sfdisk -q "$image" >/dev/null <<'TABLE'
label: dos
start=2048, size=400M, type=c
start=821248, size=1200M, type=f
start=3278848, size=300M, type=83
start=823296, size=700M, type=7
start=2258944, size=400M, type=83
TABLE
fi

echo "== ratemark-cli list"
"$cli" list || echo "(no drive can be opened here; listing nothing)"
echo
echo "== ratemark-cli partitions --drive $image"
"$cli" partitions --drive "$image"
echo
out=$sample/sample-disk
echo "== ratemark-cli test --fast --drive $image"
"$cli" test --fast --drive "$image" --out "$out.dat" --json "$out.json" --png "$out.png"
echo
echo "Results written beside the image:"
echo "  $out.dat   (one \"cylinder speed\" line per measured cylinder)"
echo "  $out.json  (drive, options, statistics, results, partitions)"
echo "  $out.png   (the speed graph)"
