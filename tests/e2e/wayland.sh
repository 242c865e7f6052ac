#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The player on a real Wayland compositor (sway, headless), judged by its own protocol log (WAYLAND_DEBUG): a
# second start's xdg-activation token reaches the compositor with the main window's surface, a start without
# one still hands its files over, and the About window is the main window's child. Skipped (77) without sway,
# Qt's Wayland plugin or wtype.
source "$(dirname "$0")/lib.sh"
skip() { echo "SKIP: $*"; exit 77; }
command -v sway >/dev/null || skip "no sway"
command -v wtype >/dev/null || skip "no wtype"
compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so" >/dev/null || skip "no Qt Wayland plugin"
unset DISPLAY WAYLAND_DISPLAY XDG_ACTIVATION_TOKEN DESKTOP_STARTUP_ID

# sway refuses to start as root: there an unprivileged user runs it, in a folder of its own, which the player
# reaches through a link in its own private runtime folder (where it also puts its hand-over socket).
compositor=$WORK/compositor
mkdir -m 700 "$compositor" "$WORK/xdg"
printf 'xwayland disable\noutput HEADLESS-1 resolution 1280x1024\n' >"$compositor/config"
as=()
if [ "$(id -u)" = 0 ]; then
    chmod 711 "$WORK"
    chown -R 65534:65534 "$compositor"
    as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
XDG_RUNTIME_DIR=$compositor HOME=$compositor WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    "${as[@]}" sway -c "$compositor/config" >"$WORK/sway.log" 2>&1 &
XPID=$!  # ended by the cleanup as an X server is
# The IPC socket comes after the Wayland socket is listening.
socket_up() { alive_compositor && compgen -G "$compositor/sway-ipc.*.sock" >/dev/null; }
alive_compositor() { kill -0 "$XPID" 2>/dev/null || fail "sway ended: $(cat "$WORK/sway.log")"; }
wait_until 30 "sway's socket" socket_up
socket=$(compgen -G "$compositor/wayland-[0-9]" | head -n 1)
ln -s "$socket" "$WORK/xdg/wayland-e2e"
export XDG_RUNTIME_DIR=$WORK/xdg WAYLAND_DISPLAY=wayland-e2e QT_QPA_PLATFORM=wayland
for f in 440 660; do make_tone "$WORK/t$f.wav" $f 1.2; done

# What the player asked of the compositor (" -> " lines), by interface: requests MATCH (an extended regex).
requests() { grep -E " -> $1" "$APP_LOG" || true; }
# The last toplevel that took the title: toplevel TITLE
toplevel() { requests 'xdg_toplevel@[0-9]+\.set_title\("'"$1"'"\)' | tail -n 1 | grep -o 'xdg_toplevel@[0-9]*' || true; }
# The wl_surface behind a toplevel: its xdg_surface's.
surface_of() {
    local xdg
    xdg=$(requests "xdg_surface@[0-9]+\.get_toplevel\(new id $1\)" | tail -n 1 | grep -o 'xdg_surface@[0-9]*' | head -n 1 || true)
    [ -z "$xdg" ] || requests "xdg_wm_base@[0-9]+\.get_xdg_surface\(new id $xdg, " | tail -n 1 | grep -o 'wl_surface@[0-9]*' || true
}
has_request() { [ -n "$(requests "$1")" ]; }

SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$SOUND" WAYLAND_DEBUG=1 "$APP" >"$APP_LOG" 2>&1 &
APID=$!
# Shown once the compositor's first configure is acknowledged; the hand-over socket is listening by then.
wait_until 60 "the main window" has_request 'xdg_toplevel@[0-9]+\.set_title\("Tamro\?Player v3\.0"\)'
main=$(toplevel 'Tamro\?Player v3\.0')
wait_until 30 "the main window configured" has_request "xdg_surface@[0-9]+\.ack_configure"
grep -qE 'wl_registry@[0-9]+\.global\([0-9]+, "xdg_activation_v1", [0-9]+\)' "$APP_LOG" \
    || fail "the compositor does not offer xdg_activation_v1"
surface=$(surface_of "$main")
[ -n "$surface" ] || fail "no surface found for the main window's $main"

# 1. A second start with the launcher's token hands over its file, and the player activates its main surface
# with that very token.
token="e2e-token-$$-$RANDOM"
XDG_ACTIVATION_TOKEN=$token "$APP" "$WORK/t440.wav" >"$WORK/second.log" 2>&1 || fail "the second start ended with $?"
wait_until 20 "activate(\"$token\", $surface)" has_request "xdg_activation_v1@[0-9]+\.activate\(\"$token\", $surface\)"
heard "440"

# 2. A start without a token hands over as before; the earlier token is not used again.
activation='xdg_activation_(v1|token_v1)@[0-9]+\.'
before=$(requests "$activation" | wc -l)
"$APP" "$WORK/t660.wav" >"$WORK/third.log" 2>&1 || fail "the start without a token ended with $?"
heard "440 660"
alive || fail "the player died after a start without a token"
[ "$(requests "xdg_activation_v1@[0-9]+\.activate\(\"$token\"" | wc -l)" = 1 ] || fail "the token was used twice"
asked=$(requests "$activation" | tail -n +$((before + 1)))
echo "without a token, Qt asked: ${asked:-nothing}"

# 3. The About window ("?", the last control, one Shift+Tab from the first) is a child of the main window.
# wtype's keyboard comes and goes with it, and keys sent before the player has bound it are lost: wtype first
# reads (nothing) from a pipe, held open until the keyboard has entered the main window.
mkfifo "$WORK/keys"
mark=$(wc -l <"$APP_LOG")
wtype - -M shift -k Tab -m shift -k space <"$WORK/keys" &
typist=$!
exec 7>"$WORK/keys"
keyboard_in() { tail -n +"$mark" "$APP_LOG" | grep -qE "wl_keyboard@[0-9]+\.enter\([0-9]+, $surface,"; }
wait_until 30 "the keyboard to enter the main window" keyboard_in
exec 7>&-
wait "$typist" || fail "wtype ended with $?"
wait_until 30 "the About window" has_request 'xdg_toplevel@[0-9]+\.set_title\(" About"\)'
about=$(toplevel ' About')
# Sent as the toplevel is made, before its title.
parent=$(requests "$about\.set_parent\(" | tail -n 1 | grep -o 'xdg_toplevel@[0-9]*)' | tr -d ')' || true)
[ "$parent" = "$main" ] || fail "the About window's $about has the parent '${parent:-none}', not the main window's $main"
alive || fail "the player died"
[ "$(reported)" = 0 ] || fail "unexpected messages: $(grep '^TamroPlayer30: ' "$APP_LOG")"
echo "passed"
