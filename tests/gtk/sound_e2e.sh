#!/usr/bin/env bash
# The window's sound end to end, on the X display that xvfb-run provides, through a PulseAudio
# server of the test's own: a null sink whose monitor parecord records, its socket in a
# temporary XDG_RUNTIME_DIR. The tone program holds a 440 Hz triangle until a key is pressed.
# Checked: the pitch, silence with Settings > Sound off, while paused and with --mute, the
# release after the key, the latency the server reports, and a window that runs on silently and
# ends with status 0 when the server stops under it or is not there at all; the classic model's
# stream at 11,025 Hz and the accurate model's, with the same checks, at 44,100 Hz, also after
# Settings > Accurate machine.
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

# shellcheck source=../sound_e2e_helpers.sh
source "$(dirname "$0")/../sound_e2e_helpers.sh"
export HOME="$work/home"
mkdir -p "$HOME"
private_sound_server
write_tone_program "$work/tone.prg"

# --- The tone at its pitch ---
start_sound_server
start "$work/tone.prg"
check_pitch_and_latency 110
check_stream_rate 11025 || fail "the classic machine does not play at 11025 Hz"
check_sound_off_pause_and_release
# Another model, another machine: the stream is opened again at its rate.
menu s a
retry check_stream_rate 44100 || fail "Settings > Accurate machine does not play at 44100 Hz"
exit_by_menu

# --- The accurate machine's SID chip ---
start --model accurate "$work/tone.prg"
check_pitch_and_latency 110
check_stream_rate 44100 || fail "the accurate machine does not play at 44100 Hz"
check_sound_off_pause_and_release
exit_by_menu

# --- Started with --mute: silent until Settings > Sound; then the server stops under it ---
start --mute "$work/tone.prg"
sleep 6
silent || fail "--mute sounds"
menu s s
for _ in $(seq 5); do loud && break; done
loud || fail "Settings > Sound after --mute is silent"
stop_sound_server
sleep 1
press space
sleep 1
kill -0 "$pid" 2>/dev/null || fail "the window ended when the server stopped"
[ "$(our_lines)" -le 1 ] || fail "more than one line on stderr"
exit_by_menu

# --- No server at all ---
start "$work/tone.prg"
sleep 3
kill -0 "$pid" 2>/dev/null || fail "the window ended without a server"
exit_by_menu
[ "$(our_lines)" -le 1 ] || fail "more than one line on stderr without a server"
echo "sound end-to-end: all checks passed"
