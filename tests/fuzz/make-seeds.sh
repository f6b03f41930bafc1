#!/usr/bin/env bash
# Writes the seed images of the partition-walk corpus: small disks partitioned by sfdisk, and
# damaged tables built byte by byte. Regression inputs found by fuzzing are kept beside them.
set -euo pipefail
out=$(cd "$(dirname "$0")" && pwd)/corpus
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

sfdisk_seed() {
    local name=$1 sectors=$2 table=$3
    truncate -s $((sectors * 512)) "$tmp/$name"
    printf 'label: dos\n%b' "$table" | sfdisk -q "$tmp/$name" >/dev/null
    cp "$tmp/$name" "$out/seed-$name"
}

sfdisk_seed primary-extended-primary 104 \
    'start=2,size=10,type=c\nstart=12,size=60,type=5\nstart=80,size=20,type=83\nstart=14,size=10,type=7\nstart=26,size=10,type=83\nstart=38,size=10,type=82\n'
sfdisk_seed four-primaries 48 \
    'start=2,size=10,type=7\nstart=12,size=10,type=b\nstart=22,size=10,type=a5\nstart=32,size=10,type=27\n'
sfdisk_seed extended-lba-first 64 \
    'start=2,size=60,type=f\nstart=4,size=10,type=83\nstart=16,size=10,type=6\nstart=28,size=10,type=1c\n'

python3 - "$out" <<'PY'
import struct, sys
out = sys.argv[1]

def table(entries, signed=True):
    s = bytearray(512)
    for i, (t, start, n) in enumerate(entries):
        s[446 + 16 * i:462 + 16 * i] = bytes([0, 1, 1, 0, t, 254, 63, 0]) + struct.pack('<II', start, n)
    if signed:
        s[510:512] = b'\x55\xaa'
    return s

def image(sectors, size):
    img = bytearray(512 * size)
    for at, data in sectors.items():
        img[512 * at:512 * at + 512] = data
    return bytes(img)

seeds = {
    'extended-at-sector-0': image({0: table([(0x07, 1, 5), (0x0F, 0, 8)])}, 2),
    'ring-of-two-records': image({0: table([(0x05, 2, 8)]),
                                  2: table([(0x83, 1, 1), (0x05, 2, 1)]),
                                  4: table([(0x83, 1, 1), (0x05, 0, 1)])}, 6),
    'unsigned-extended-record': image({0: table([(0x0F, 2, 8), (0x07, 9, 1)]),
                                       2: table([(0x83, 1, 1)], signed=False)}, 4),
    'type-15-not-walked': image({0: table([(0x15, 2, 8)]), 2: table([(0x83, 1, 1)])}, 4),
    'link-past-the-end': image({0: table([(0x05, 2, 8)]), 2: table([(0x83, 1, 1), (0x05, 1000, 1)])}, 3),
    'short-image': bytes(table([(0x07, 1, 5)]))[:300],
}
for name, data in seeds.items():
    with open(f'{out}/seed-{name}', 'wb') as f:
        f.write(data)
PY
echo "seeds written to $out"
