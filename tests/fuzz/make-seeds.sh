#!/usr/bin/env bash
# Writes the seed images of the partition-walk corpus: small disks partitioned by sfdisk, with
# MBR and GUID tables, and damaged copies and tables built byte by byte. Regression inputs
# found by fuzzing are kept beside them. The 4096-byte-sector seed needs root (a loop device).
set -euo pipefail
out=$(cd "$(dirname "$0")" && pwd)/corpus
mkdir -p "$out"
tmp=$(mktemp -d)
loop=
cleanup() {
    [ -n "$loop" ] && losetup --detach "$loop" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT

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

gpt_seed() {
    local name=$1 sectors=$2 table=$3
    truncate -s $((sectors * 512)) "$tmp/$name"
    printf 'label: gpt\n%b' "$table" | sfdisk -q "$tmp/$name" >/dev/null
    cp "$tmp/$name" "$out/seed-$name"
}

efi=C12A7328-F81F-11D2-BA4B-00A0C93EC93B
basic=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7
linux=0FC63DAF-8483-4772-8E79-3D69D8477DE4
swap=0657FD6D-A4AB-43C4-84E5-0933C84B4F4F
zfs=516E7CBA-6ECF-11D6-8FF8-00022D09712B
gpt_seed gpt-three 128 \
    "first-lba: 34\nstart=34,size=20,type=$efi,name=\"EFI\"\nstart=54,size=20,type=$basic,name=\"data\"\nstart=74,size=20,type=$linux,name=\"root\"\n"
gpt_seed gpt-short-array 64 \
    "table-length: 4\nfirst-lba: 3\nstart=3,size=20,type=$swap,name=\"swap\"\nstart=23,size=5,type=$zfs\n"
if [ "$(id -u)" -eq 0 ]; then
    truncate -s $((16 * 4096)) "$tmp/gpt-4k"
    loop=$(losetup --find --show --sector-size 4096 "$tmp/gpt-4k")
    printf 'label: gpt\ntable-length: 4\nfirst-lba: 3\nstart=3,size=6,type=%s,name="root"\nstart=9,size=4,type=%s,name="data"\n' \
        "$linux" "$basic" | sfdisk -q "$loop" >/dev/null 2>&1
    losetup --detach "$loop"
    loop=
    cp "$tmp/gpt-4k" "$out/seed-gpt-4k"
else
    echo "not root: the 4096-byte-sector seed is left as it is" >&2
fi

python3 - "$out" <<'PY'
import struct, sys, zlib
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

# Damaged copies of the sfdisk GUID table of 128 512-byte sectors.
gpt = bytearray(open(f'{out}/seed-gpt-three', 'rb').read())
last = len(gpt) // 512 - 1

def reseal(img, lba):
    h = 512 * lba
    size = struct.unpack_from('<I', img, h + 12)[0]
    struct.pack_into('<I', img, h + 16, 0)
    struct.pack_into('<I', img, h + 16, zlib.crc32(bytes(img[h:h + size])))

def damaged(change):
    img = bytearray(gpt)
    change(img)
    return bytes(img)

def zero(img, lba):
    img[512 * lba:512 * lba + 512] = bytes(512)

def huge_count(img, lba):
    struct.pack_into('<I', img, 512 * lba + 80, 0xFFFFFFFF)
    reseal(img, lba)

def hybrid(img):
    img[446 + 16:446 + 32] = bytes([0, 1, 1, 0, 0x0C, 254, 63, 0]) + struct.pack('<II', 54, 20)

def ntfs_data(img):
    img[54 * 512 + 3:54 * 512 + 11] = b'NTFS    '

seeds.update({
    'gpt-bad-primary': damaged(lambda img: zero(img, 1)),
    'gpt-bad-both': damaged(lambda img: (zero(img, 1), zero(img, last))),
    'gpt-wrong-array-crc': damaged(lambda img: img.__setitem__(2 * 512 + 60, img[2 * 512 + 60] ^ 1)),
    'gpt-huge-entry-count': damaged(lambda img: (huge_count(img, 1), huge_count(img, last))),
    'gpt-hybrid': damaged(hybrid),
    'gpt-ntfs-data': damaged(ntfs_data),
})
for name, data in seeds.items():
    with open(f'{out}/seed-{name}', 'wb') as f:
        f.write(data)
PY
echo "seeds written to $out"
