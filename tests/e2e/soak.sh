#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# 500 short tracks through end-of-track advances in one run (meant for the ASan build): no crash, no leak at
# exit, and resident memory flat from start to end.
source "$(dirname "$0")/lib.sh"
start_x
TRACKS=${TRACKS:-500}
make_tone "$WORK/low.wav" 440 0.12
make_tone "$WORK/high.wav" 880 0.12
for i in $(seq "$TRACKS"); do
    if [ $((i % 2)) = 1 ]; then echo "$WORK/low.wav"; else echo "$WORK/high.wav"; fi
done >"$WORK/soak.m3u"

# A small quarantine, so that resident memory shows real growth rather than ASan's own bookkeeping.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=8:detect_leaks=1"
start_app
toggle_editor 253
click load; choose_file "$WORK/soak.m3u"
wait_until 60 "the soak's playlist shown" rows_at_least 2
rss() { awk '/^VmRSS/ { print $2 }' "/proc/$APID/status"; }
played() { "$TIMELINE" "$SOUND" 48000 20 | awk '$3 > 0 { print ($3 < 660) ? "low" : "high" }' | uniq | wc -l; }

double_click_entry 0
twenty_played() { [ "$(played)" -ge 20 ]; }
wait_until 120 "20 tracks to play" twenty_played
start_rss=$(rss)
deadline=$((SECONDS + 600))
while [ "$(played)" -lt "$TRACKS" ] && [ $SECONDS -lt $deadline ]; do
    alive || fail "the player died after $(played) tracks"
    sleep 2
done
[ "$(played)" -ge "$TRACKS" ] || fail "only $(played) of $TRACKS tracks played in time"
end_rss=$(rss)
echo "resident memory: $start_rss KiB after 20 tracks, $end_rss KiB after $TRACKS" | tee "$ARTIFACTS/rss.txt"
[ $((end_rss - start_rss)) -lt 20480 ] || fail "resident memory grew by $(((end_rss - start_rss) / 1024)) MiB"

# A clean exit, where LeakSanitizer reports any leak and fails the exit status.
kill -TERM "$APID"
status=0
wait "$APID" || status=$?
APID=""
[ "$status" = 0 ] || { tail -n 40 "$APP_LOG" >&2; fail "the player exited with status $status (leaks?)"; }
echo "passed"
