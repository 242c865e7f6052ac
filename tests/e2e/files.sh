#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Load a foreign M3U through the real dialog, Save it again, and compare what was written byte for byte;
# then play from the loaded list.
source "$(dirname "$0")/lib.sh"
start_x
make_tone "$WORK/x.wav" 550 1
start_app
toggle_editor 253

printf '#EXTM3U\n#EXTINF:1,Artist - Title\n%s\n' "$WORK/x.wav" >"$WORK/foreign.m3u"
printf '"#EXTM3U"\r\n"#EXTINF:1"\r\n"Artist - Title"\r\n"%s"\r\n' "$WORK/x.wav" >"$WORK/expected.m3u"
# Save is done when its file holds what it should: the player writes it whole and renames it into place.
saved_as_expected() { cmp -s "$1" "$WORK/expected.m3u"; }
click load; choose_file "$WORK/foreign.m3u"
wait_until 30 "the loaded entries shown" rows_at_least 1
click save; choose_file "$WORK/saved.m3u"
wait_until 30 "Save to write the expected bytes" saved_as_expected "$WORK/saved.m3u"
cp "$WORK/saved.m3u" "$ARTIFACTS/"

# Save leaves the selection on the last entry: Play now plays it.
click play
heard "550"

# Loading what was saved gives the same list back: saving it again writes the same bytes.
click load; choose_file "$WORK/saved.m3u"
click save; choose_file "$WORK/again.m3u"
wait_until 30 "a Load of a saved playlist to give it back" saved_as_expected "$WORK/again.m3u"

# A typo in the Load dialog keeps the playlist: saving afterwards still writes all four entries.
click load; choose_file "$WORK/no-such-file.m3u"
reported_after 0
dismiss_message
click save; choose_file "$WORK/after-typo.m3u"
wait_until 30 "Save after a failed Load to write all four entries" saved_as_expected "$WORK/after-typo.m3u"
alive || fail "the player died"
echo "passed"
