#!/usr/bin/env bash
# Installs the build both ways (system layout and portable folder) into temporary prefixes,
# checks the files and runs the installed console program, which must find its low-level
# libraries relative to itself; then builds the Debian package, checks its contents and
# dependencies and, as root, installs it with dpkg, runs it and purges it again.
#
#     InstallTest.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
installed_package=0
cleanup() {
    if [ "$installed_package" = 1 ]; then
        dpkg -P ratemark >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
has_gui=0
[ -f "$build/linux/example.zelqo.Ratemark.desktop" ] && has_gui=1
unset RATEMARK_LIBRARY_DIR

# A 100 MB drive for the emulated BIOS: listing it loads libRawio32v2.so and its partner.
truncate -s 100M "$work/disk.img"
list_bios_drive() { # PROGRAM
    (cd "$work" && RAWIO16_DRIVE_80="$work/disk.img" "$1" --backend bios list) \
        | grep -q "BIOS 80h" || fail "$1 does not find its low-level library"
}

echo "== system layout"
cmake --install "$build" --prefix "$work/sys" >/dev/null
for f in bin/ratemark-cli lib/ratemark/libRawio32v2.so lib/ratemark/libRawio16v2.so \
         share/ratemark/Ratemark.htb share/ratemark/Ratemarkr.htb \
         share/icons/hicolor/48x48/apps/ratemark.png share/icons/hicolor/256x256/apps/ratemark.png \
         share/metainfo/example.zelqo.Ratemark.metainfo.xml share/doc/ratemark/copyright; do
    [ -f "$work/sys/$f" ] || fail "system layout lacks $f"
done
if [ "$has_gui" = 1 ]; then
    for f in bin/ratemark share/applications/example.zelqo.Ratemark.desktop; do
        [ -f "$work/sys/$f" ] || fail "system layout lacks $f"
    done
fi
# Nothing of the portable folder leaks into a plain install.
[ ! -e "$work/sys/ratemark-cli" ] || fail "a plain install holds the portable folder too"
"$work/sys/bin/ratemark-cli" --version | grep -qx "ratemark-cli 3.0.1.0" || fail "--version"
list_bios_drive "$work/sys/bin/ratemark-cli"
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$work/sys/share/metainfo/example.zelqo.Ratemark.metainfo.xml" \
        >/dev/null || fail "the AppStream metainfo does not validate"
fi
if [ "$has_gui" = 1 ] && command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$work/sys/share/applications/example.zelqo.Ratemark.desktop" \
        || fail "the desktop entry does not validate"
fi

echo "== portable folder"
folder="$work/Portable Ratemark"
cmake --install "$build" --component portable --prefix "$folder" >/dev/null
# Exactly the files the uninstall removes, and the program.
expected="Ratemark.htb Ratemarkr.htb libRawio16v2.so libRawio32v2.so ratemark-cli ratemark.png"
[ "$has_gui" = 1 ] && expected="$expected ratemark"
actual=$(cd "$folder" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort | tr '\n' ' ')
want=$(echo $expected | tr ' ' '\n' | LC_ALL=C sort | tr '\n' ' ')
[ "$actual" = "$want" ] || fail "portable folder holds '$actual', expected '$want'"
list_bios_drive "$folder/ratemark-cli"

if ! command -v dpkg-deb >/dev/null || ! command -v dpkg-shlibdeps >/dev/null; then
    echo "SKIP: the Debian package tools (dpkg-dev) are not installed"
    exit 0
fi

echo "== Debian package"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/pkg/ratemark_3.0.1.0_*.deb)
dpkg-deb -f "$deb" Depends | grep -q "libc6" || fail "no computed dependencies"
contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/ratemark-cli ./usr/lib/ratemark/libRawio32v2.so ./usr/share/ratemark/Ratemark.htb \
         ./usr/share/metainfo/example.zelqo.Ratemark.metainfo.xml \
         ./usr/share/icons/hicolor/256x256/apps/ratemark.png; do
    grep -q " $f\$" <<<"$contents" || fail "the package lacks $f"
done
dpkg-deb -x "$deb" "$work/extracted"
list_bios_drive "$work/extracted/usr/bin/ratemark-cli"

if [ "$(id -u)" != 0 ]; then
    echo "SKIP: installing the package with dpkg needs root"
    exit 0
fi
if dpkg-query -W -f='${Status}' ratemark 2>/dev/null | grep -q "installed"; then
    echo "SKIP: a ratemark package is installed on this machine already"
    exit 0
fi
# One package installation at a time on this machine; dpkg's own lock may be busy for a while.
exec 9>/tmp/ratemark-package-test.lock
flock 9
for attempt in 1 2 3 4 5 6; do
    if dpkg -i "$deb" >"$work/dpkg.log" 2>&1; then
        installed_package=1
        break
    fi
    grep -q "lock" "$work/dpkg.log" || { cat "$work/dpkg.log"; fail "dpkg -i"; }
    sleep 10
done
[ "$installed_package" = 1 ] || { cat "$work/dpkg.log"; fail "dpkg stayed locked"; }
/usr/bin/ratemark-cli --version | grep -qx "ratemark-cli 3.0.1.0" || fail "installed --version"
list_bios_drive /usr/bin/ratemark-cli
# The installed desktop program starts on a virtual display, shows its window and, being the
# package's, does not offer to register itself.
if [ "$has_gui" = 1 ] && command -v xvfb-run >/dev/null && command -v xdotool >/dev/null; then
    echo "== the installed desktop program"
    truncate -s 10M "$work/gui.img"
    mkdir -p "$work/gui-run" && chmod 700 "$work/gui-run"
    (cd "$work" && RATEMARK_INSTALL_ROOT="$work/gui-root" XDG_RUNTIME_DIR="$work/gui-run" \
        XDG_CONFIG_HOME="$work/gui-config" XDG_DATA_HOME="$work/gui-data" \
        xvfb-run -a sh -c '/usr/bin/ratemark --drive "$1" & app=$!
            for i in $(seq 100); do
                xdotool search --onlyvisible --name " - Ratemark\$" >/dev/null 2>&1 && break
                sleep 0.1
            done
            xdotool search --onlyvisible --name " - Ratemark\$" >/dev/null 2>&1; found=$?
            if xdotool search --onlyvisible --name "^Create icons\$" >/dev/null 2>&1; then found=3; fi
            kill $app; wait $app; exit $found' sh "$work/gui.img") >"$work/gui.log" 2>&1 \
        || { cat "$work/gui.log"; fail "the installed desktop program shows no window, or asks to register"; }
    [ ! -e "$work/gui-root" ] || fail "the package's program registered itself"
fi
dpkg -P ratemark >/dev/null
installed_package=0
for f in /usr/bin/ratemark-cli /usr/lib/ratemark /usr/share/ratemark \
         /usr/share/metainfo/example.zelqo.Ratemark.metainfo.xml; do
    [ ! -e "$f" ] || fail "$f is left after the package's removal"
done
! dpkg-query -W ratemark >/dev/null 2>&1 || fail "dpkg still knows the package"
echo "installation: fine"
