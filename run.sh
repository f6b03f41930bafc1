#!/usr/bin/env bash
# Sets up, builds and runs the main job. With a display: opens the desktop program on a sample
# drive (as root, the sample image served as a worn 2 GB disk under a read-only loop device).
# Without one: the drive list, the partitions of the sample image and a fast test of it with
# its result files, in the console program.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
cd "$root"
scripts/setup.sh
mkdir -p build
scripts/build.sh build/release "" -DBUILD_TESTING=ON -DRATEMARK_BUILD_GUI=ON >/dev/null
cli=build/release/cli/ratemark-cli
gui=build/release/ratemark

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

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec scripts/open-sample.sh "$gui" "$image"
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
echo
echo "No display here. On a desktop, ./run.sh opens the desktop program on the sample drive;"
echo "by hand: $gui --drive $image"
