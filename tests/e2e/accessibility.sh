#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A screen reader's view (AT-SPI): every control named, the compact window showing only what it shows, the
# About window's links as links; then Play pressed through its accessible action plays the track.
source "$(dirname "$0")/lib.sh"
ATSPI="/usr/bin/python3 $(dirname "$0")/atspi.py"
# The desktop's accessibility bus on this scenario's session bus, and Qt's bridge on it whatever the desktop says.
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
BUS_PID=$!
# lib.sh's cleanup then ends the player and keeps the scenario's exit status (errexit is off first, or the
# status handed on would end the trap before it).
trap 'rc=$?; set +e; kill "$BUS_PID" 2>/dev/null; (exit $rc); cleanup' EXIT
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
start_x
make_tone "$WORK/t440.wav" 440 20
start_app

$ATSPI names compact || fail "the compact window as a screen reader sees it"
$ATSPI press Playlist
wait_until 20 "the window height 253 px (it is $(window_height) px)" height_is 253
wait_until 20 "the editor's controls reported as showing" $ATSPI names expanded

click add; choose_file "$WORK/t440.wav"
click_entry 0
$ATSPI press Play
heard 440
$ATSPI names expanded || fail "the window while playing as a screen reader sees it"

$ATSPI press About
about=$(wait_window '^ About$') || fail "no About window"
wait_until 20 "the About window on the accessibility bus" $ATSPI about
xdotool windowfocus --sync "$about" 2>/dev/null || true
xdotool key Escape
wait_until 30 "Escape to close the About window" closed "$about"
alive || fail "the player died"
echo "passed"
