#!/usr/bin/env bash
# Whole-drive linear read of ratemark-cli against fio with the same pattern on the same device:
# sequential one-track reads (32,256 bytes), O_DIRECT, queue depth 1, psync; three rounds,
# alternating. Prints the ratio of Ratemark's average speed to fio's bandwidth, and of their
# CPU seconds per GiB. Read-only on both sides. Usage: bench/vs-fio.sh DEVICE [CLI]
set -euo pipefail
device=${1:?usage: vs-fio.sh DEVICE [ratemark-cli]}
root=$(cd "$(dirname "$0")/.." && pwd)
cli=${2:-$root/build/release/cli/ratemark-cli}
command -v fio >/dev/null || { echo "fio is not installed (apt-get install fio)" >&2; exit 1; }
command -v python3 >/dev/null || { echo "python3 is needed" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The bytes the linear test reads: every track of every whole cylinder.
bytes=$(python3 - "$cli" "$device" <<'PY'
import json, subprocess, sys
d = json.loads(subprocess.check_output([sys.argv[1], "partitions", "--json", "--drive", sys.argv[2]]))["drive"]
print(d["cylinders"] * d["heads"] * d["sectors_per_track"] * d["bytes_per_sector"])
PY
)

for round in 1 2 3; do
    /usr/bin/time -f "%U %S" -o "$tmp/rm-$round.cpu" \
        "$cli" test --quiet --no-random-access --no-burst --drive "$device" --json "$tmp/rm-$round.json" >/dev/null
    /usr/bin/time -f "%U %S" -o "$tmp/fio-$round.cpu" \
        fio --name=linear --filename="$device" --readonly --rw=read --bs=32256 --direct=1 \
            --iodepth=1 --ioengine=psync --size="$bytes" --output-format=json \
            --output="$tmp/fio-$round.json" >/dev/null
done

python3 - "$tmp" "$bytes" <<'PY'
import json, sys
tmp, total = sys.argv[1], int(sys.argv[2])
gib = total / 2**30
def cpu(path):
    u, s = open(path).read().split()[-2:]
    return float(u) + float(s)
rm_speed = [json.load(open(f"{tmp}/rm-{r}.json"))["stats"]["average_speed"] for r in (1, 2, 3)]
fio_bw = [json.load(open(f"{tmp}/fio-{r}.json"))["jobs"][0]["read"]["bw"] for r in (1, 2, 3)]  # KiB/s
rm_cpu = [cpu(f"{tmp}/rm-{r}.cpu") / gib for r in (1, 2, 3)]
fio_cpu = [cpu(f"{tmp}/fio-{r}.cpu") / gib for r in (1, 2, 3)]
for r in range(3):
    print(f"round {r + 1}: ratemark {rm_speed[r]} kB/s, fio {fio_bw[r]} KiB/s, "
          f"CPU s/GiB {rm_cpu[r]:.3f} vs {fio_cpu[r]:.3f}")
print(f"speed ratio (ratemark / fio): {sum(rm_speed) / sum(fio_bw):.3f}  (goal 0.98-1.02)")
print(f"CPU per GiB ratio (ratemark / fio): {sum(rm_cpu) / max(sum(fio_cpu), 1e-9):.3f}")
PY
