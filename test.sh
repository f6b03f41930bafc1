#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite: plain, then under AddressSanitizer+UBSan
# and ThreadSanitizer, then fuzzes the partition walk for a minute.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
cd "$root"
scripts/setup.sh
mkdir -p build

run_suite() {
    local dir=$1 sanitize=$2 gui=$3
    echo "== build $dir ${sanitize:+($sanitize)}"
    scripts/build.sh "$dir" "$sanitize" -DBUILD_TESTING=ON -DRATEMARK_BUILD_GUI="$gui"
    echo "== test $dir"
    (cd "$dir" && ctest --output-on-failure --no-tests=error -j "$(nproc)" --timeout 600)
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

# The desktop program's windows are tested in the plain and the ASan builds, under a virtual
# display; ThreadSanitizer covers the core, where the threads meet.
run_suite build/release "" ON
run_suite build/asan "address,undefined" ON
run_suite build/tsan "thread" OFF
scripts/fuzz.sh 60
echo "All test suites passed."
