#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the .deb with CPack, unpacks it into a scratch root and checks what it installs and declares,
# then starts the unpacked program to see that it runs.
set -euo pipefail
build=$1
scratch=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$scratch"
mkdir -p "$scratch"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log" >&2; echo "FAIL: cpack could not build the package" >&2; exit 1; }
debs=("$scratch"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: expected one .deb in $scratch/out" >&2; exit 1; }
deb=${debs[0]}
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

[ "$(dpkg-deb -f "$deb" Package)" = tamroplayer ] || fail "package name is '$(dpkg-deb -f "$deb" Package)'"
[ "$(dpkg-deb -f "$deb" Version)" = 3.00 ] || fail "package version is '$(dpkg-deb -f "$deb" Version)'"
depends=$(dpkg-deb -f "$deb" Depends)
# Found by dpkg-shlibdeps from the program's libraries, and named by hand for what is loaded by name.
names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/[[:space:]]//g')
for dep in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 timgm6mb-soundfont fonts-liberation2; do
    grep -qxF "$dep" <<<"$names" || fail "Depends lacks $dep: $depends"
done
# Qt's Wayland plugin, so that the player runs natively on a Wayland desktop.
grep -qE '(^|, )qt6-wayland(,|$)' <<<"$(dpkg-deb -f "$deb" Recommends)" \
    || fail "Recommends lacks qt6-wayland: $(dpkg-deb -f "$deb" Recommends)"

root=$scratch/root
dpkg -x "$deb" "$root"
bin=$root/usr/bin/TamroPlayer30
[ -x "$bin" ] || fail "no executable usr/bin/TamroPlayer30"
file -b "$bin" | grep -q '^ELF' || fail "usr/bin/TamroPlayer30 is not an ELF program"
player=$root/usr/libexec/tamroplayer30/tamroplayer30
[ -x "$player" ] || fail "no player usr/libexec/tamroplayer30/tamroplayer30 for the launcher to start"
"$here/check_version_note.sh" "$bin" >/dev/null || fail "the installed program's version note"
"$here/check_desktop_entry.sh" "$root/usr/share/applications/tamroplayer30.desktop" \
    || fail "the installed .desktop entry"
for size in 16 32 48 64 128 256; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/tamroplayer30.png
    file -b "$icon" 2>/dev/null | grep -q "^PNG image data, $size x $size," || fail "no ${size}x${size} icon at $icon"
done
unexpected=$(cd "$root" && find . -type f | grep -vE '^\./usr/(bin/TamroPlayer30|libexec/tamroplayer30/tamroplayer30|share/applications/tamroplayer30\.desktop|share/icons/hicolor/[0-9]+x[0-9]+/apps/tamroplayer30\.png|share/doc/tamroplayer/(copyright|changelog\.gz)|share/man/man1/TamroPlayer30\.1\.gz|share/metainfo/[a-z.0-9]+\.metainfo\.xml)$' || true)
[ -z "$unexpected" ] || fail "unexpected files in the package: $unexpected"

# Still running after two seconds, it has started; it must then end on SIGTERM as `timeout` sends it
# (status 124), as at the end of a session. Status 137 means it ignored SIGTERM and had to be killed.
if [ -x "$bin" ]; then
    set +e
    # A runtime folder of its own: no other player of this user takes it over.
    mkdir -m 700 "$scratch/runtime"
    XDG_RUNTIME_DIR=$scratch/runtime QT_QPA_PLATFORM=offscreen timeout -k 3 2 "$bin" >"$scratch/run.log" 2>&1
    ran=$?
    set -e
    case $ran in
    124) ;;
    137) fail "the unpacked program ignored SIGTERM" ;;
    *) cat "$scratch/run.log" >&2; fail "the unpacked program ended with status $ran within 2 s" ;;
    esac
fi
[ $status -eq 0 ] && echo "package $(basename "$deb") checked: Depends: $depends"
exit $status
