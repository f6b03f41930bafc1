#!/usr/bin/env bash
# What the selection outline's animation costs the desktop program: the CPU time of its
# user-interface thread over a minute with an outline marching round a graph of about
# 1920 × 1080 pixels, against a minute of the same window without a selection.
# Usage: bench/wx/outline-cpu.sh BUILD_DIR [SECONDS]   (needs xvfb-run and xdotool)
# PERF_OUT=file also records a profile of the thread; SHOT=file.png keeps a screenshot
# (ImageMagick's import).
set -euo pipefail
build=$(cd "$1" && pwd)
secs=${2:-60}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/config/Zelqo" "$work/run"
chmod 700 "$work/run"
# No window manager: the frame gets exactly this rectangle, and the graph pane beside the
# 200-pixel left column comes out at about 1920 × 1080.
cat > "$work/config/Zelqo/Ratemark.ini" <<INI
[Settings]
MainWndX=0
MainWndY=0
MainWndW=2130
MainWndH=1169
CpuWndW=200
CpuWndH=150
INI
# 1792 cylinders: one cylinder per pixel, so the plot area is as wide as the graph allows.
truncate -s $((1792 * 255 * 63 * 512)) "$work/disk.img"

cat > "$work/inner.sh" <<'INNER'
set -euo pipefail
work=$1; bin=$2; secs=$3
cd "$work"
"$bin" --drive "$work/disk.img" > "$work/ratemark.log" 2>&1 &
pid=$!
sleep 6
# utime + stime of the user-interface thread (the process's first thread), in clock ticks.
ui_ticks() { awk '{print $14 + $15}' "/proc/$pid/task/$pid/stat"; }
all_ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
measure() {
    local t0 a0; t0=$(ui_ticks); a0=$(all_ticks)
    sleep "$secs"
    echo "$(( $(ui_ticks) - t0 )) $(( $(all_ticks) - a0 ))"
}
read -r base_ui base_all < <(measure)
# A drag across most of the plot area, with the real pointer.
xdotool mousemove 400 600 && sleep 0.3
xdotool mousedown 1 && sleep 0.3
for x in 800 1400 1900 2050; do xdotool mousemove "$x" 600; sleep 0.2; done
xdotool mouseup 1
sleep 2
if [ -n "${PERF_OUT:-}" ]; then perf record -g -t "$pid" -o "$PERF_OUT" -- sleep "$secs" >/dev/null 2>&1; fi
read -r sel_ui sel_all < <(measure)
hz=$(getconf CLK_TCK)
awk -v b="$base_ui" -v s="$sel_ui" -v ba="$base_all" -v sa="$sel_all" -v hz="$hz" -v n="$secs" 'BEGIN {
    printf "UI thread, no selection:   %.2f s CPU in %d s (%.3f %% of one core)\n", b/hz, n, 100*b/hz/n
    printf "UI thread, marching outline: %.2f s CPU in %d s (%.3f %% of one core)\n", s/hz, n, 100*s/hz/n
    printf "outline animation: %.3f %% of one core\n", 100*(s-b)/hz/n
    printf "whole process: %.2f s without, %.2f s with a selection\n", ba/hz, sa/hz
}'
if [ -n "${SHOT:-}" ]; then import -window root "$SHOT" || true; fi
kill "$pid"; wait "$pid" || true
INNER
XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" HOME="$work" \
    xvfb-run -a -s "-screen 0 2200x1300x24" bash "$work/inner.sh" "$work" "$build/ratemark" "$secs"
