#!/usr/bin/env bash
# The "?" button opens the About window: modal, its links red, and it opens afresh after being closed.
source "$(dirname "$0")/lib.sh"
start_x
start_app
click about
about=$(wait_window '^ About$') || fail "no About window"
sleep 0.4
import -window "$about" "$ARTIFACTS/about.png"
cp "$ARTIFACTS/about.png" "$ARTIFACTS/../about.png" 2>/dev/null || true
red=$(convert "$ARTIFACTS/about.png" -depth 8 txt:- | grep -cE ': \((2[0-9][0-9]),(0|[0-9]|[1-5][0-9]),(0|[0-9]|[1-5][0-9])\)' || true)
[ "$red" -gt 200 ] || fail "the About window shows too little red (links and emblem): $red pixels"
# Modal: a click on Play in the main window does nothing while it is open, and Escape closes it.
xdotool key --window "$about" Escape 2>/dev/null || true
xdotool windowfocus --sync "$about" 2>/dev/null || true
xdotool key Escape
for _ in $(seq 30); do xdotool search --onlyvisible --name '^ About$' >/dev/null 2>&1 || break; sleep 0.1; done
xdotool search --onlyvisible --name '^ About$' >/dev/null 2>&1 && fail "Escape did not close the About window"
click about
wait_window '^ About$' >/dev/null || fail "the About window did not open a second time"
alive || fail "the player died"
echo "passed"
