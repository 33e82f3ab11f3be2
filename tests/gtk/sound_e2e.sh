#!/usr/bin/env bash
# The window's sound end to end, on the X display that xvfb-run provides, through a PulseAudio
# server of the test's own: a null sink whose monitor parecord records, its socket in a
# temporary XDG_RUNTIME_DIR. The tone program holds a 440 Hz triangle until a key is pressed.
# Checked: the pitch, silence with Settings > Sound off, while paused and with --mute, the
# release after the key, the latency the server reports, and a window that runs on silently and
# ends with status 0 when the server stops under it or is not there at all.
#
# usage: sound_e2e.sh QUILLON WAV_TONE
set -euo pipefail

quillon=$1
wav_tone=$2
work=$(mktemp -d)
pid=
server=
trap 'for p in $pid $server; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT

# shellcheck source=../e2e_helpers.sh
source "$(dirname "$0")/../e2e_helpers.sh"

# The program's own stderr tells most about a failure here.
fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/stderr" ] && sed 's/^/  | /' "$work/stderr" >&2
  exit 1
}

# The server's files and the client's settings stay in the work folder; no client may start a
# server of its own when ours is gone.
export XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home"
mkdir -p "$XDG_RUNTIME_DIR" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
echo "autospawn = no" >"$work/client.conf"
export PULSE_CLIENTCONFIG="$work/client.conf"

start_server() {
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --disable-shm \
    --load=module-native-protocol-unix --load="module-null-sink sink_name=quillon_e2e" \
    >"$work/server.log" 2>&1 &
  server=$!
  for _ in $(seq 50); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  fail "the PulseAudio server did not start: $(cat "$work/server.log")"
}

stop_server() {
  kill "$server"
  wait "$server" 2>/dev/null || true
  server=
}


# "pitch loudness" of what the sink plays over the next second.
listen() {
  timeout -s INT 1.2 parecord --device=quillon_e2e.monitor --file-format=wav --rate=11025 \
    --channels=1 --format=s16le "$work/heard.wav" || true
  "$wav_tone" "$work/heard.wav"
}

loud() { [ "$(listen | awk '{ print ($2 > 1000) }')" = 1 ]; }
silent() { [ "$(listen | awk '{ print ($2 < 30) }')" = 1 ]; }

menu() {
  xdotool key "alt+$1"
  sleep 0.3
  xdotool key "$2"
  sleep 0.3
}

# The KERNAL scans the keyboard sixty times a second: the key is held over several scans.
press() {
  xdotool keydown "$1"
  sleep 0.08
  xdotool keyup "$1"
}

# Our own lines on stderr: the toolkit may warn on its own.
our_lines() { grep -c '^quillon:' "$work/stderr" || true; }

# File > Exit.
exit_and_expect_status_0() {
  menu f x
  status=0
  wait "$pid" || status=$?
  pid=
  [ "$status" -eq 0 ] || fail "the window ended with status $status"
}

# 10 POKE 54296,15:POKE 54272,69:POKE 54273,29:POKE 54277,0:POKE 54278,244
# 20 POKE 54276,17:WAIT 198,1:POKE 54276,16
# 30 GOTO 30
printf '\x01\x087\x08\x0a\x00\x9754296,15:\x9754272,69:\x9754273,29:\x9754277,0:\x9754278,244' \
  >"$work/tone.prg"
printf '\x00V\x08\x14\x00\x9754276,17:\x92198,1:\x9754276,16\x00^\x08\x1e\x00\x8930\x00\x00\x00' \
  >>"$work/tone.prg"

# --- The tone at its pitch ---
start_server
start "$work/tone.prg"
for _ in $(seq 20); do loud && break; done
read -r pitch loudness < <(listen)
echo "heard: ${pitch} Hz, loudness ${loudness}"
awk -v p="$pitch" 'BEGIN { exit !(p > 440 * 0.98 && p < 440 * 1.02) }' ||
  fail "the tone sounds at $pitch Hz, not 440 Hz within 2%"
latency=$(pactl list sink-inputs |
  awk '/Buffer Latency|Sink Latency/ { sum += $3 } END { print int(sum / 1000) }')
echo "queued at the server: ${latency} ms, plus up to 50 ms to the next tick"
[ "$latency" -le 110 ] || fail "the server holds ${latency} ms of sound"

# --- Settings > Sound off and on, Pause and on again ---
menu s s
silent || fail "Settings > Sound off still sounds"
menu s s
loud || fail "Settings > Sound on again is silent"
menu e p
silent || fail "paused, the window still sounds"
menu e p
loud || fail "the tone does not come back after the pause"

# --- A key lets go of the gate: the release falls to silence ---
press space
sleep 1
silent || fail "the tone goes on after the gate was released"

exit_and_expect_status_0

# --- Started with --mute: silent until Settings > Sound; then the server stops under it ---
start --mute "$work/tone.prg"
sleep 6
silent || fail "--mute sounds"
menu s s
for _ in $(seq 5); do loud && break; done
loud || fail "Settings > Sound after --mute is silent"
stop_server
sleep 1
press space
sleep 1
kill -0 "$pid" 2>/dev/null || fail "the window ended when the server stopped"
[ "$(our_lines)" -le 1 ] || fail "more than one line on stderr"
exit_and_expect_status_0

# --- No server at all ---
start "$work/tone.prg"
sleep 3
kill -0 "$pid" 2>/dev/null || fail "the window ended without a server"
exit_and_expect_status_0
[ "$(our_lines)" -le 1 ] || fail "more than one line on stderr without a server"
echo "sound end-to-end: all checks passed"
