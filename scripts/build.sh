#!/usr/bin/env bash
# Configures and builds one build tree: build.sh DIR [SANITIZERS] [extra cmake arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
sanitize=${2:-}
shift $(( $# >= 2 ? 2 : 1 ))
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DRATEMARK_SANITIZE="$sanitize" "$@" > "$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" -j "$(nproc)" ${BUILD_TARGET:+--target "$BUILD_TARGET"}
