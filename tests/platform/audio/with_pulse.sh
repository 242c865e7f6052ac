#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command beside a private PulseAudio server with a null sink, as a desktop's sound server would be.
set -euo pipefail
export XDG_RUNTIME_DIR
XDG_RUNTIME_DIR=$(mktemp -d /tmp/tamro-test-pulse.XXXXXX)
chmod 700 "$XDG_RUNTIME_DIR"
trap 'pulseaudio --kill 2>/dev/null || true; rm -rf "$XDG_RUNTIME_DIR"' EXIT
unset PULSE_SERVER
# Under AddressSanitizer: libpulse keeps an allocation for the life of the process.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")/../../e2e" && pwd)/lsan.supp:print_suppressions=0"
pulseaudio -D --system=false --exit-idle-time=-1 -n --load="module-null-sink sink_name=null" \
    --load="module-native-protocol-unix auth-anonymous=1" 2>/dev/null
for _ in $(seq 300); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || { echo "the PulseAudio server did not start" >&2; exit 1; }
SDL_AUDIODRIVER=pulseaudio "$@"
