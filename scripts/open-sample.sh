#!/usr/bin/env bash
# Opens the desktop program on the sample drive: open-sample.sh RATEMARK IMAGE.
# As root the image is served by tools/faultdisk as a worn 2 GB disk (zones falling from
# about 180 MB/s at the outer edge to 90 MB/s inside, one slow spot, two bad sectors) under a
# read-only loop device, torn down when the program ends. Without root the image file itself
# is the drive, and its speeds are those of memory.
set -euo pipefail
gui=$(realpath "$1")
image=$(realpath "$2")
faultdisk=$(dirname "$gui")/tools/faultdisk/faultdisk

if [ "$(id -u)" -ne 0 ] || [ ! -x "$faultdisk" ] || [ ! -e /dev/fuse ]; then
    echo "Opening the desktop program on the sample image $image."
    echo "(Not root, or no FUSE here: the image is read from memory, so its speeds are those of"
    echo " memory, not of a disk. Run ./run.sh as root to measure it as a worn 2 GB disk.)"
    exec "$gui" --drive "$image"
fi

work=$(mktemp -d /tmp/ratemark-sample.XXXXXX)
mnt=$work/mnt
mkdir -p "$mnt"
loop=""
fd_pid=""
cleanup() {
    [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null || true
    if [ -n "$fd_pid" ]; then
        kill "$fd_pid" 2>/dev/null || true
        wait "$fd_pid" 2>/dev/null || true
    fi
    umount "$mnt" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# 4 194 304 sectors in six zones from 180 down to 90 MB/s, a slow spot, two bad sectors.
"$faultdisk" -f --parent $$ --image "$image" --size 2G \
    --zone 0-699049:180 --zone 699050-1398099:162 --zone 1398100-2097149:144 \
    --zone 2097150-2796199:126 --zone 2796200-3495249:108 --zone 3495250-:90 \
    --zone 1800000+60000:25 --bad 2600000 --bad 3300000 "$mnt" &
fd_pid=$!
for _ in $(seq 50); do [ -e "$mnt/disk" ] && break; sleep 0.1; done
loop=$(losetup --find --show --read-only --direct-io=on "$mnt/disk")
echo "The sample image is served as a worn 2 GB disk at $loop (read-only)."

user=${SUDO_USER:-}
if [ -n "$user" ] && [ "$user" != root ]; then
    # A root program cannot open a window on the user's Wayland desktop: the window is the
    # user's, with the sample loop device readable to them.
    chown "$user" "$loop"
    uid=$(id -u "$user")
    sudo -u "$user" env DISPLAY="${DISPLAY:-}" WAYLAND_DISPLAY="${WAYLAND_DISPLAY:-}" \
        XAUTHORITY="${XAUTHORITY:-}" XDG_RUNTIME_DIR="/run/user/$uid" \
        DBUS_SESSION_BUS_ADDRESS="${DBUS_SESSION_BUS_ADDRESS:-unix:path=/run/user/$uid/bus}" \
        "$gui" --drive "$loop"
else
    "$gui" --drive "$loop"
fi
