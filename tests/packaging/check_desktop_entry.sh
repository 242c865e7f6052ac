#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks a .desktop entry: valid by desktop-file-validate, and the program's own name, comment, icon, command
# (given the files chosen, %F), the window class it shows (StartupWMClass) and the sound types it opens.
set -euo pipefail
entry=$1
desktop-file-validate "$entry"
status=0
expect() {
    local actual
    actual=$(sed -n "s/^$1=//p" "$entry")
    if [ "$actual" != "$2" ]; then
        echo "FAIL: $entry has $1='$actual', expected '$2'" >&2
        status=1
    fi
}
expect Type Application
expect Name 'Tamro?Player v3.0'
expect Comment 'Small soundplayer.'
expect Exec 'TamroPlayer30 %F'
expect StartupWMClass TamroPlayer30
expect Icon tamroplayer30
expect Categories 'AudioVideo;Audio;Player;'
# Each sound type the player opens, under at least the name the shared MIME database gives it.
types=";$(sed -n 's/^MimeType=//p' "$entry")"
for type in audio/mpeg audio/x-wav audio/x-ms-wma audio/midi audio/basic; do
    case $types in
    *";$type;"*) ;;
    *) echo "FAIL: $entry lacks the MIME type $type" >&2; status=1 ;;
    esac
done
exit $status
