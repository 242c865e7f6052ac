# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the benchmarks that play to a real sound server: a private PulseAudio server with a null sink
# ("null", 48 kHz; its monitor is "null.monitor") in a fresh XDG_RUNTIME_DIR, stopped and removed at exit.
# Sets PULSE_PID to the server's process; stop_private_pulse is what the exit trap runs.
start_private_pulse() {
  unset SDL_AUDIODRIVER PULSE_SERVER
  export XDG_RUNTIME_DIR
  XDG_RUNTIME_DIR=$(mktemp -d /tmp/tamro-pulse.XXXXXX)
  chmod 700 "$XDG_RUNTIME_DIR"
  # Under a name of its own: a test elsewhere on a shared machine that stops every "pulseaudio" leaves it alone.
  ln -s "$(command -v pulseaudio)" "$XDG_RUNTIME_DIR/tamro-pulseaudio"
  "$XDG_RUNTIME_DIR/tamro-pulseaudio" -D --system=false --exit-idle-time=-1 -n \
    --load="module-null-sink sink_name=null rate=48000" --load="module-native-protocol-unix auth-anonymous=1" 2>/dev/null
  trap stop_private_pulse EXIT
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  PULSE_PID=$(cat "$XDG_RUNTIME_DIR/pulse/pid")
}

stop_private_pulse() {
  pulseaudio --kill 2>/dev/null || true
  rm -rf "$XDG_RUNTIME_DIR"
}
