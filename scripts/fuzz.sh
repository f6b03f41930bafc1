#!/usr/bin/env bash
# Builds the partition-walk fuzz target with clang's libFuzzer and runs it for a while:
# fuzz.sh [SECONDS]. New inputs go to a scratch corpus; a crash or hang fails the run and
# leaves its input under build/fuzz/findings, to be fixed and added to tests/fuzz/corpus.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
dir=$root/build/fuzz
CC=clang CXX=clang++ BUILD_TARGET=partition_walk_fuzz \
    "$root/scripts/build.sh" "$dir" "address,undefined" -DRATEMARK_FUZZ=ON -DBUILD_TESTING=ON
scratch=$dir/scratch-corpus
findings=$dir/findings
rm -rf "$scratch"
mkdir -p "$scratch" "$findings"
echo "== fuzzing the partition walk for ${seconds}s"
"$dir/tests/fuzz/partition_walk_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/" \
    "$scratch" "$root/tests/fuzz/corpus" 2>&1 | tail -n 15
echo "Fuzzing found nothing."
