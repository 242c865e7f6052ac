#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the .deb that packaging_deb built as a user would (apt-get, without Recommends), starts the
# installed program under Xvfb and waits for its window, and checks that every library it has loaded then
# comes from a package its Depends pull in; then removes the package again if it was not installed before.
# Needs root and apt: skipped (status 77) elsewhere.
set -euo pipefail
scratch=$1
debs=("$scratch"/out/*.deb)
[ -f "${debs[0]}" ] || { echo "FAIL: no .deb in $scratch/out (packaging_deb builds it)" >&2; exit 1; }
deb=$(realpath "${debs[0]}")
if [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null; then
    echo "SKIP: installing the package needs root and apt-get"
    exit 77
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/tamro-install.XXXXXX")
installed_before=$(dpkg-query -W -f='${Status}' tamroplayer 2>/dev/null | grep -c 'install ok installed' || true)
pid=""
cleanup() {
    local rc=$?
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    if [ "$installed_before" = 0 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get remove -y -q -o DPkg::Lock::Timeout=300 tamroplayer >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
    exit $rc
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=300 "$deb" \
    >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get could not install $deb"; }
[ -x /usr/bin/TamroPlayer30 ] || fail "the package installed no /usr/bin/TamroPlayer30"

# Every package the Depends reach, alternatives included, Recommends and Suggests left out.
apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces --no-enhances \
    tamroplayer | sed -n 's/^<\?\([^ >]*\)>\?$/\1/p' | sort -u >"$work/closure"
grep -qx libqt6widgets6 "$work/closure" || fail "the Depends closure lacks libqt6widgets6: $(head "$work/closure")"

# The installed program on a display of its own, with the sound going to a file.
cat >"$work/run.sh" <<'SCRIPT'
set -u
mkdir -m 700 "$WORK/runtime"
XDG_RUNTIME_DIR=$WORK/runtime QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$WORK/sound.raw \
    /usr/bin/TamroPlayer30 >"$WORK/app.log" 2>&1 &
echo $! >"$WORK/pid"
timeout 30 xdotool search --sync --onlyvisible --name '^Tamro\?Player v3\.0$' >/dev/null || exit 3
sleep 0.5
awk '$6 ~ /\.so/ { print $6 }' "/proc/$(cat "$WORK/pid")/maps" | sort -u >"$WORK/libraries"
kill "$(cat "$WORK/pid")"
SCRIPT
status=0
WORK=$work xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash "$work/run.sh" || status=$?
[ $status = 3 ] && { cat "$work/app.log" >&2; fail "the installed program showed no window"; }
[ $status = 0 ] || fail "could not run the installed program under Xvfb (status $status)"
[ -s "$work/libraries" ] || fail "no libraries seen in the running program"

# Each loaded library's package must be one the Depends pull in. One dpkg query for all of them, under both
# names a library has on a merged /usr (dpkg knows either).
mapfile -t libraries <"$work/libraries"
names=()
for library in "${libraries[@]}"; do names+=("$library" "${library#/usr}" "/usr${library#/usr}"); done
dpkg -S "${names[@]}" 2>/dev/null | sed 's/:[a-z0-9]*\(, \|: \)/\1/g' >"$work/owners" || true
missing=""
for library in "${libraries[@]}"; do
    owner=$(awk -F': ' -v a="$library" -v b="${library#/usr}" -v c="/usr${library#/usr}" \
        '$2 == a || $2 == b || $2 == c { print $1; exit }' "$work/owners")
    [ -n "$owner" ] || { missing+=" $library (no package)"; continue; }
    grep -qx "${owner%%,*}" "$work/closure" || missing+=" $library ($owner)"
done
[ -z "$missing" ] || fail "libraries from packages outside the Depends:$missing"
echo "installed $(basename "$deb"), window shown, $(wc -l <"$work/libraries") libraries loaded, all within the Depends"
