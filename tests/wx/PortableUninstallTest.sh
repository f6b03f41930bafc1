#!/usr/bin/env bash
# A portable folder's whole life as a user lives it, on a virtual display: the first start
# offers "Create icons" (OK with the keyboard) and registers; `ratemark /UNINST` asks, is
# answered Yes, and the folder, the entry, the shortcuts and the settings are gone.
#
#     PortableUninstallTest.sh BUILD_DIR    (runs under xvfb-run)
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
sleep 0.5

folder="$work/Portable Ratemark"
cmake --install "$build" --component portable --prefix "$folder" >/dev/null
[ -x "$folder/ratemark" ] || fail "the portable folder has no desktop program"

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_RUNTIME_DIR="$work/run" TMPDIR="$work/tmp" RATEMARK_INSTALL_ROOT="$work/root"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR" "$TMPDIR" "$HOME/Desktop"
chmod 700 "$XDG_RUNTIME_DIR"
echo 'XDG_DESKTOP_DIR="$HOME/Desktop"' >"$XDG_CONFIG_HOME/user-dirs.dirs"
truncate -s 100M "$work/disk.img"
entries=$(find "$RATEMARK_INSTALL_ROOT" -name 'Ratemark*' 2>/dev/null || true)
[ -z "$entries" ] || fail "an entry exists before the first start"

# Waits for a window named $1 and presses $2 in it.
press_in() { # NAME KEYS...
    local name=$1 id=""
    shift
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$name\$" 2>/dev/null | head -1) && [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || fail "no window '$name'"
    xdotool windowactivate --sync "$id" >/dev/null 2>&1 || true
    sleep 0.3
    xdotool key --clearmodifiers "$@"
}

echo "== first start"
(cd "$work" && exec "$folder/ratemark" --drive "$work/disk.img") &
app=$!
pids+=($app)
press_in "Create icons" Return
for _ in $(seq 100); do
    [ -n "$(find "$RATEMARK_INSTALL_ROOT" -type f 2>/dev/null)" ] && break
    sleep 0.1
done
entry=$(find "$RATEMARK_INSTALL_ROOT" -type f | head -1)
[ -n "$entry" ] || fail "OK did not register"
grep -q "UninstallString.*$folder/ratemark /UNINST" "$entry" || fail "entry: $(cat "$entry")"
[ -f "$XDG_DATA_HOME/applications/Ratemark.desktop" ] || fail "no menu shortcut (ticked by default)"
[ ! -e "$HOME/Desktop/Ratemark.desktop" ] || fail "a desktop shortcut nobody asked for"
sleep 2
kill -TERM "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
# Settings as a user's run leaves them.
mkdir -p "$XDG_CONFIG_HOME/Zelqo"
printf '[Settings]\nFastTest=1\n' >>"$XDG_CONFIG_HOME/Zelqo/Ratemark.ini"

echo "== ratemark /UNINST"
(cd "$work" && exec "$folder/ratemark" /UNINST) &
app=$!
pids+=($app)
press_in "Ratemark" Return
wait "$app" || fail "the uninstall ended with an error"
for _ in $(seq 100); do
    [ -e "$folder" ] || break
    sleep 0.1
done
[ ! -e "$folder" ] || fail "left behind: $(ls -A "$folder")"
[ -z "$(find "$RATEMARK_INSTALL_ROOT" -type f)" ] || fail "the entry is left"
[ ! -e "$XDG_DATA_HOME/applications/Ratemark.desktop" ] || fail "the menu shortcut is left"
[ ! -e "$XDG_CONFIG_HOME/Zelqo" ] || fail "the settings are left"
[ -z "$(ls -A "$TMPDIR")" ] || fail "the removal script is left: $(ls -A "$TMPDIR")"
echo "portable uninstall: fine"
