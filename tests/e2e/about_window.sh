#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The "?" button opens the About window: modal, its links red, and it opens afresh after being closed.
source "$(dirname "$0")/lib.sh"
start_x
start_app
click about
about=$(wait_window '^ About$') || fail "no About window"
# A child of the main window, so that a window manager keeps it above and centres it on the main window.
transient=$(xprop -id "$about" WM_TRANSIENT_FOR | sed -n 's/.*window id # //p')
[ "$((transient))" = "$((WID))" ] || fail "the About window is transient for '$transient', not the main window $WID"
# Painted once its links and emblem show their red.
red_shown() {
    import -window "$about" "$ARTIFACTS/about.png"
    red=$(convert "$ARTIFACTS/about.png" -depth 8 txt:- | grep -cE ': \((2[0-9][0-9]),(0|[0-9]|[1-5][0-9]),(0|[0-9]|[1-5][0-9])\)' || true)
    [ "$red" -gt 200 ]
}
wait_until 30 "the About window's red links and emblem (too little red: ${red:-0} pixels)" red_shown
cp "$ARTIFACTS/about.png" "$ARTIFACTS/../about.png" 2>/dev/null || true
# Modal: a click on Play in the main window does nothing while it is open, and Escape closes it.
xdotool key --window "$about" Escape 2>/dev/null || true
xdotool windowfocus --sync "$about" 2>/dev/null || true
xdotool key Escape
wait_until 30 "Escape to close the About window" closed "$about"
click about
wait_window '^ About$' >/dev/null || fail "the About window did not open a second time"
alive || fail "the player died"
echo "passed"
