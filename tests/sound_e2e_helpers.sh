# Helpers for the desktop sound tests (GTK and Windows), sourced after e2e_helpers.sh: a
# PulseAudio server of the test's own with a null sink whose monitor parecord records, the tone
# program, and the checks both desktops share. The sourcing script sets $work and $wav_tone.

# The server's socket and the client's settings stay in the work folder; no client may start a
# server of its own when ours is gone.
private_sound_server() {
  export XDG_RUNTIME_DIR="$work/runtime" PULSE_CLIENTCONFIG="$work/client.conf"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
  echo "autospawn = no" >"$PULSE_CLIENTCONFIG"
}

start_sound_server() {
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

stop_sound_server() {
  kill "$server"
  wait "$server" 2>/dev/null || true
}

# "pitch loudness" of what the sink plays over the next second.
listen() {
  timeout -s INT 1.2 parecord --device=quillon_e2e.monitor --file-format=wav --rate=11025 \
    --channels=1 --format=s16le "$work/heard.wav" || true
  "$wav_tone" "$work/heard.wav"
}
loud() { [ "$(listen | awk '{ print ($2 > 1000) }')" = 1 ]; }
silent() { [ "$(listen | awk '{ print ($2 < 30) }')" = 1 ]; }

# Our own lines on stderr: the toolkit or Wine may have their own to say.
our_lines() { grep -c '^quillon:' "$work/stderr" || true; }

# A BASIC program that holds a 440 Hz triangle until a key is pressed, into $1:
# 10 POKE 54296,15:POKE 54272,69:POKE 54273,29:POKE 54277,0:POKE 54278,244
# 20 POKE 54276,17:WAIT 198,1:POKE 54276,16
# 30 GOTO 30
write_tone_program() {
  printf '\x01\x087\x08\x0a\x00\x9754296,15:\x9754272,69:\x9754273,29:\x9754277,0:\x9754278,244' \
    >"$1"
  printf '\x00V\x08\x14\x00\x9754276,17:\x92198,1:\x9754276,16\x00^\x08\x1e\x00\x8930\x00\x00\x00' \
    >>"$1"
}

# With the tone program running: its pitch within 2% of 440 Hz, and no more than $1 ms of
# sound queued at the server.
check_pitch_and_latency() {
  for _ in $(seq 20); do loud && break; done
  read -r pitch loudness < <(listen)
  echo "heard: ${pitch} Hz, loudness ${loudness}"
  awk -v p="$pitch" 'BEGIN { exit !(p > 440 * 0.98 && p < 440 * 1.02) }' ||
    fail "the tone sounds at $pitch Hz, not 440 Hz within 2%"
  latency=$(pactl list sink-inputs |
    awk '/Buffer Latency|Sink Latency/ { sum += $3 } END { print int(sum / 1000) }')
  echo "queued at the server: ${latency} ms"
  [ "$latency" -le "$1" ] || fail "the server holds ${latency} ms of sound"
}

# The window's stream plays at $1 Hz: the server lists it as 16-bit mono samples at that rate.
check_stream_rate() {
  pactl list sink-inputs | grep -q "s16le 1ch ${1}Hz"
}

# Settings > Sound off and on, Pause and on again; then a key lets go of the gate and the
# release falls to silence.
check_sound_off_pause_and_release() {
  menu s s
  silent || fail "Settings > Sound off still sounds"
  menu s s
  loud || fail "Settings > Sound on again is silent"
  menu e p
  silent || fail "paused, the window still sounds"
  menu e p
  loud || fail "the tone does not come back after the pause"
  press space
  sleep 1
  silent || fail "the tone goes on after the gate was released"
}
