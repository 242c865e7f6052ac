# SPDX-License-Identifier: GPL-3.0-or-later
# Shared steps of the end-to-end scenarios: a private X server, the real player with SDL's disk driver,
# and clicks at the controls' laid-out positions (twips / 15 = pixels from the client area's corner).
# Needs: APP (the TamroPlayer30 binary; PLAYER is the player it starts), TIMELINE (tone_timeline), ARTIFACTS (a folder kept after the run).
set -euo pipefail

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tamro-e2e.XXXXXX")
SOUND="$WORK/sound.raw"
APP_LOG="$WORK/app.log"
mkdir -p "$ARTIFACTS"
XPID="" APID="" WID=""
# In the ASan build: system libraries keep some allocations for the life of the process.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/lsan.supp:print_suppressions=0"

cleanup() {
    local rc=$?
    set +e  # the player's own exit status (LeakSanitizer's, in the ASan build) is judged by the scenario
    if [ -n "$APID" ]; then kill "$APID" 2>/dev/null; wait "$APID" 2>/dev/null; fi
    if [ -n "$XPID" ]; then kill "$XPID" 2>/dev/null; wait "$XPID" 2>/dev/null; fi
    [ -f "$APP_LOG" ] && cp "$APP_LOG" "$ARTIFACTS/" 2>/dev/null
    rm -rf "$WORK"
    exit $rc
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    # What the screen showed at the failure, beside the player's log.
    if [ -n "${DISPLAY:-}" ] && [ -n "$XPID" ]; then
        import -window root "$ARTIFACTS/failure.png" 2>/dev/null && echo "screen at the failure: $ARTIFACTS/failure.png" >&2
    fi
    if [ -s "$SOUND" ]; then
        echo "what was heard (from s, to s, Hz):" >&2
        "$TIMELINE" "$SOUND" 48000 50 >&2 || true
    fi
    exit 1
}

# Polls a check until it holds, never longer than SECONDS: wait_until SECONDS WHAT COMMAND [ARGS...]
# Every step waits so for what it needs to see: a loaded machine makes the player slow, never the test wrong.
wait_until() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || fail "waited $seconds s for $what"
        sleep 0.05
    done
}

# A free display number and an X server on it, without a window manager: the window sits where it asks.
# E2E_DISPLAYS="FIRST LAST" narrows the numbers tried, where other X servers come and go beside the tests.
start_x() {
    local n
    # shellcheck disable=SC2086  # two numbers
    for n in $(seq ${E2E_DISPLAYS:-90 140}); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
    done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XPID=$!
    export DISPLAY=":$n"
    for _ in $(seq 100); do
        # An Xvfb that lost the race for the number exits: never drive another server's windows.
        kill -0 "$XPID" 2>/dev/null || { XPID=""; fail "Xvfb could not start on $DISPLAY"; }
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    fail "Xvfb did not start on $DISPLAY"
}

# Starts the player with the arguments given, sound going to $SOUND, and waits for its main window.
start_app() {
    SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-disk} SDL_DISKAUDIOFILE="$SOUND" QT_QPA_PLATFORM=xcb "$APP" "$@" >"$APP_LOG" 2>&1 &
    APID=$!
    WID=$(timeout 60 xdotool search --sync --onlyvisible --name '^Tamro\?Player v3\.0$' | head -n 1) \
        || fail "the main window did not appear"
    wait_until 60 "the main window to be painted" painted
}

# Whether the main window shows its light grey background (it has been painted).
painted() {
    [ "$(pixel_at 2 2 2>/dev/null)" = "192,192,192" ]
}

# Client-area origin of the main window in screen pixels.
origin() {
    xdotool getwindowgeometry --shell "$WID" | sed -n 's/^\(X\|Y\)=//p' | paste -sd' '
}

# Clicks a point of the client area given in pixels: click_at X Y REPEAT DELAY_MS
click_at() {
    local x y
    read -r ox oy < <(origin)
    x=$((ox + $1)) y=$((oy + $2))
    # mousemove --sync waits for the pointer to leave where it is: sent where it already stands, it would
    # stall for 15 s before giving up.
    [ "$(xdotool getmouselocation | cut -d' ' -f1-2)" = "x:$x y:$y" ] || xdotool mousemove --sync "$x" "$y"
    xdotool click --repeat "$3" --delay "$4" 1
}

# Clicks the middle of a control given by its laid-out twips: click_twips LEFT TOP WIDTH HEIGHT [REPEAT]
# What the click does is for the caller to wait for.
click_twips() {
    local l=$1 t=$2 w=$3 h=$4
    click_at $(((l + w / 2) / 15)) $(((t + h / 2) / 15)) "${5:-1}" 80
}

# Toggles the playlist editor and waits for the window to take the height it should: toggle_editor PIXELS
toggle_editor() {
    click playlist
    wait_until 20 "the window height $1 px (it is $(window_height) px)" height_is "$1"
}
height_is() { [ "$(window_height)" = "$1" ]; }

# The controls, as laid out: LEFT TOP WIDTH HEIGHT in twips.
declare -A CONTROLS=(
    [back]="120 960 330 330" [play]="480 960 330 330" [stop]="840 960 330 330" [next]="1200 960 330 330"
    [open]="1560 960 330 330" [rnd]="1995 1050 345 255" [playlist]="2400 1050 585 255" [about]="3030 1050 225 255"
    [add]="120 3480 405 255" [del]="480 3480 405 255" [delall]="840 3480 525 255" [load]="2370 3480 450 255"
    [save]="2805 3480 450 255"
)

# Clicks a control by its name: click play
click() {
    [ -n "${CONTROLS[$1]:-}" ] || fail "no control named '$1'"
    # shellcheck disable=SC2086  # the four numbers are meant to split
    click_twips ${CONTROLS[$1]}
}

# The entry row N (from 0) of the playlist: rows are one line of the list's font high.
ROW_PX=11
click_entry() {
    wait_until 30 "entry $1 shown in the playlist" rows_at_least $(($1 + 1))
    click_at $((120 / 15 + 30)) $((1560 / 15 + 1 + $1 * ROW_PX + ROW_PX / 2)) "${2:-1}" 60
}
double_click_entry() { click_entry "$1" 2; }

# Where each row of the playlist's text starts, in pixels from the list's top: lines of a narrow strip over
# the entries' first letters ("/tmp/..."), lit where text is, yellow or (on the selection's blue) white.
row_starts() {
    read -r ox oy < <(origin)
    import -window root -crop "5x120+$((ox + 18))+$((oy + 1560 / 15))" -depth 8 txt:- \
        | sed -n 's/^[0-9]*,\([0-9]*\): (\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3 \4/p' \
        | awk '{ if (($2 > 90 && $2 == $3 && $4 < 60) || ($2 > 140 && $3 > 140 && $4 > 140)) lit[$1] = 1 }
               END { for (y = 0; y < 120; y++) { if (lit[y] && !was) print y; was = lit[y] } }'
}

# Whether the playlist shows at least N entries (as far as its height shows them).
rows_at_least() {
    local shown
    shown=$(row_starts | wc -l)
    [ "$shown" -ge "$1" ] || [ "$shown" -ge 10 ]
}

# Whether the playlist shows exactly N entries (N below what its height shows).
rows_exactly() { [ "$(row_starts | wc -l)" -eq "$1" ]; }

# Measures the height of a playlist row (it follows the font the system found): the distance between the
# first glyphs of the first two entries, which all begin with "/". Needs two entries or more.
calibrate_rows() {
    wait_until 30 "two entries shown in the playlist" rows_at_least 2
    ROW_PX=$(row_starts | awk 'NR <= 2 { s[NR] = $1 } END { if (NR >= 2) print s[2] - s[1]; else print 0 }')
    [ "$ROW_PX" -ge 8 ] && [ "$ROW_PX" -le 30 ] || fail "cannot measure the playlist's rows ($ROW_PX px)"
}

# Waits for the file dialog to take the keyboard, types a path into it, presses Enter and waits for the
# dialog to close. What the command then does with the path is for the caller to wait for.
choose_file() {
    local path=$1 dialog
    dialog=$(wait_window '^(Open|Save As)$') || fail "no file dialog"
    wait_until 20 "the file dialog to take the keyboard" has_focus "$dialog"
    xdotool type --delay 5 "$path"
    # The name field's completer may still hold its pop-up when Enter comes (a busy machine, a sanitizer
    # build): that Enter only closes the pop-up, so Enter again while the dialog stays open.
    for _ in 1 2 3 4 5 6; do
        xdotool key Return
        wait_until_or_not 5 closed "$dialog" && return 0
    done
    fail "waited 30 s for the file dialog to close"
}

# As wait_until, but answers false instead of failing when the time is up.
wait_until_or_not() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }
closed() { ! xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable'; }

# Waits up to 30 s for a visible window whose title matches the pattern; prints its id.
wait_window() {
    local w
    for _ in $(seq 300); do
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | grep -v "^$WID\$" | tail -n 1 || true)
        [ -n "$w" ] && { echo "$w"; return 0; }
        sleep 0.1
    done
    return 1
}

# The client height of the main window in pixels.
window_height() {
    xdotool getwindowgeometry --shell "$WID" | sed -n 's/^HEIGHT=//p'
}

# The colour of one pixel of the main window's client area, as "r,g,b": pixel_at X Y (pixels)
pixel_at() {
    read -r ox oy < <(origin)
    import -window root -crop "1x1+$((ox + $1))+$((oy + $2))" -depth 8 txt:- | tail -n 1 | sed -n 's/^[^(]*(\([0-9]*,[0-9]*,[0-9]*\).*/\1/p'
}

# Counts pixels of colour R,G,B inside a rectangle of the client area: count_colour X Y W H R,G,B
count_colour() {
    count_matching "$1" "$2" "$3" "$4" ": \\($5\\)"
}

# Counts pixels whose "(r,g,b)" matches an extended regex: count_matching X Y W H REGEX
count_matching() {
    read -r ox oy < <(origin)
    import -window root -crop "$3x$4+$((ox + $1))+$((oy + $2))" -depth 8 txt:- | grep -cE "$5" || true
}

# Bright yellow text on the black title line, antialiased: red equal to green, above 160, no blue.
YELLOW=': \((1[6-9][0-9]|2[0-9][0-9]),\1,0\)'

# Messages the player reported so far (its report policy logs each to stderr).
reported() {
    grep -c '^TamroPlayer30: ' "$APP_LOG" || true
}

# Dismisses the open message box with Enter and waits for it to close.
dismiss_message() {
    local w
    w=$(wait_window '^Tamro\?Player v3\.0$') || fail "no message box to dismiss"
    xdotool windowfocus --sync "$w" 2>/dev/null || true
    wait_until 20 "the message box to take the keyboard" has_focus "$w"
    xdotool key Return
    wait_until 20 "the message box to close" closed "$w"
}

# Waits for more messages than BEFORE to have been reported: reported_after BEFORE
reported_after() {
    wait_until 30 "a message to be reported" more_reported "$1"
}
more_reported() { [ "$(reported)" -gt "$1" ]; }

# Waits until the tones heard so far are exactly PITCHES: heard "440 660"
heard() {
    wait_until "${2:-30}" "the tones '$1' (heard '$(pitches)')" heard_now "$1"
}
heard_now() { [ "$(pitches)" = "$1" ]; }
# Waits until the last tone heard is F: last_heard 550
last_heard() {
    wait_until 30 "$1 Hz to sound (heard '$(pitches)')" last_now "$1"
}
last_now() { [ "$(pitches | awk '{ print $NF }')" = "$1" ]; }

alive() {
    kill -0 "$APID" 2>/dev/null
}

screenshot() {
    import -window "$WID" "$ARTIFACTS/$1.png"
}

# The sound so far as stretches "<from> <to> <Hz>", dropping stretches shorter than 0.15 s.
tones() {
    sleep 0.2
    "$TIMELINE" "$SOUND" 48000 50 | awk '$2 - $1 >= 0.15'
}

# Sequence of the tones heard (silence dropped), each as the nearest of the test's pitches, e.g. "440 660 880".
pitches() {
    tones | awk '$3 > 0 { best = 0; for (i = 1; i <= split(P, p, " "); i++) if (best == 0 || (($3 - p[i]) ^ 2) < (($3 - best) ^ 2)) best = p[i]; print best }' \
        P="${PITCHES:-220 330 440 550 660 770 880 990}" | uniq | paste -sd' '
}

# Bytes of sound written so far.
sound_bytes() {
    stat -c %s "$SOUND" 2>/dev/null || echo 0
}

# Whether the sound has gone quiet: no tone follows within the next second, and what was written last is
# silence or nothing more is written at all (when nothing plays the engine lets the device run dry, so the
# disk driver may simply stop writing, right behind the last tone).
quiet() {
    local before bytes
    before=$(pitches)
    bytes=$(sound_bytes)
    sleep 1
    [ "$(pitches)" = "$before" ] || return 1
    [ "$(sound_bytes)" = "$bytes" ] || "$TIMELINE" "$SOUND" 48000 50 | tail -n 1 | awk '$3 == 0 { ok = 1 } END { exit !ok }'
}

# A tone of F Hz lasting S seconds: make_tone FILE F S
make_tone() {
    ffmpeg -nostdin -loglevel error -y -f lavfi -i "sine=frequency=$2:sample_rate=44100:duration=$3" "$1"
}
