#!/usr/bin/env bash
# Two figures of the desktop program under a display (run with xvfb-run -a):
#  - start-up: from the process's start to its window on the screen, median of 5;
#  - the UI thread's CPU during a full run on a memory-speed image (the sparse sample image).
# desktop-figures.sh RATEMARK IMAGE
set -euo pipefail
gui=$1
image=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
cd "$work"

times=()
for _ in 1 2 3 4 5; do
    start=$(date +%s%N)
    "$gui" --drive "$image" >/dev/null 2>&1 &
    pid=$!
    xdotool search --sync --onlyvisible --pid "$pid" >/dev/null
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000000 )))
    kill "$pid"; wait "$pid" 2>/dev/null || true
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "start-up to a visible window: ${times[*]} ms, median ${sorted[2]} ms"

"$gui" --drive "$image" >/dev/null 2>&1 &
pid=$!
win=$(xdotool search --sync --onlyvisible --pid "$pid" | head -1)
sleep 1
ticks() { awk '{print $14 + $15}' "/proc/$pid/task/$pid/stat"; }
# Start: a click on the toolbar's first button (without a window manager the window is at
# its default place, 50, 50).
xdotool mousemove 72 96 click 1
t0=$(ticks); s0=$(date +%s%N)
sleep 5
t1=$(ticks); s1=$(date +%s%N)
hz=$(getconf CLK_TCK)
echo "UI thread during 5 s of a run: $(( (t1 - t0) * 1000 / hz )) ms of CPU in $(( (s1 - s0) / 1000000 )) ms"
kill "$pid"; wait "$pid" 2>/dev/null || true
