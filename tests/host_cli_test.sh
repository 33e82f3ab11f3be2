#!/usr/bin/env bash
# End-to-end runs of the built program: host_cli_test.sh QUILLON CASE
set -uo pipefail
quillon=$1
case_name=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# 10 PRINT 617*2, tokenised and stored from $0801.
write_program() {
  printf '\001\010\015\010\012\000\231\040\066\061\067\254\062\000\000\000' >"$1"
}

# The tone: voice 1 sounds a 440 Hz triangle for about 0.6 s, then its release falls to
# silence and the program waits.
write_tone_program() {
  printf '\001\010,\010\012\000\22754296,15:\22754272,69:\22754273,29:\22754277,0\000Z\010' >"$1"
  printf '\024\000\22754278,244:\22754276,17:\201I\2621\244500:\202:\22754276,16\000' >>"$1"
  printf 'b\010\036\000\21130\000\000\000' >>"$1"
}

# "RIFF size, data size, file size" of a WAV file.
wav_sizes() {
  local riff data
  riff=$(od -An -tu4 -j4 -N4 "$1" | tr -d ' ')
  data=$(od -An -tu4 -j40 -N4 "$1" | tr -d ' ')
  echo "$riff $data $(stat -c %s "$1")"
}

png_size() {
  od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }'
}

case $case_name in
start-screen)
  "$quillon" --headless --frames 150 --screen-text >"$work/screen" || fail "exit status $?"
  [ "$(wc -l <"$work/screen")" -eq 25 ] || fail "not 25 rows"
  out=$(cat "$work/screen")
  echo "$out" | grep -q '^    \*\*\*\* COMMODORE 64 BASIC V2 \*\*\*\*$' || fail "no banner: $out"
  echo "$out" | grep -q '^ 64K RAM SYSTEM  38911 BASIC BYTES FREE$' || fail "no memory line: $out"
  echo "$out" | grep -q '^READY\.$' || fail "no READY.: $out"
  ;;
typing)
  out=$("$quillon" --headless --type 'PRINT 6*7\n' --frames 300 --screen-text) ||
    fail "exit status $?"
  echo "$out" | grep -q '^PRINT 6\*7$' || fail "the line was not typed: $out"
  echo "$out" | grep -q '^ 42$' || fail "no 42: $out"
  ;;
program-screenshot)
  write_program "$work/prog.prg"
  out=$("$quillon" --headless "$work/prog.prg" --frames 300 --screenshot "$work/out.png" \
    --screen-text) || fail "exit status $?"
  echo "$out" | grep -q '^ 1234$' || fail "the program did not run: $out"
  [ "$(head -c 8 "$work/out.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
    fail "not a PNG"
  [ "$(png_size "$work/out.png")" = 360x240 ] || fail "size $(png_size "$work/out.png")"
  ;;
realtime)
  # 25 frames at 50 a second take half a second.
  start=$(date +%s%N)
  "$quillon" --headless --realtime --ntsc --frames 25 >/dev/null || fail "exit status $?"
  elapsed=$((($(date +%s%N) - start) / 1000000))
  [ $elapsed -ge 450 ] && [ $elapsed -lt 3000 ] || fail "took $elapsed ms"
  ;;
realtime-exact)
  # 500 frames at 50 a second are ten seconds, within 1%, in PAL and in NTSC alike.
  for standard in "" --ntsc; do
    start=$(date +%s%N)
    # shellcheck disable=SC2086
    "$quillon" --headless --realtime $standard --frames 500 >/dev/null || fail "exit status $?"
    elapsed=$((($(date +%s%N) - start) / 1000000))
    [ $elapsed -ge 9900 ] && [ $elapsed -le 10100 ] || fail "${standard:-PAL} took $elapsed ms"
  done
  ;;
wav)
  # The same run writes the same bytes, its length the emulated time: 250 frames, 5 seconds.
  write_tone_program "$work/tone.prg"
  for run in 1 2; do
    "$quillon" --headless --frames 250 --wav "$work/$run.wav" "$work/tone.prg" ||
      fail "exit status $?"
  done
  cmp -s "$work/1.wav" "$work/2.wav" || fail "two runs wrote different files"
  sizes=$(wav_sizes "$work/1.wav")
  [ "$sizes" = "110286 110250 110294" ] || fail "sizes $sizes"
  [ "$(head -c 4 "$work/1.wav")$(tail -c +9 "$work/1.wav" | head -c 8)" = "RIFFWAVEfmt " ] ||
    fail "not a WAV file"
  # The accurate machine's too, at 44100 Hz of the chip's own clock: 250 frames of 19,656
  # cycles, 985,248 cycles a second, 219,953 samples.
  for run in 1 2; do
    "$quillon" --headless --model accurate --frames 250 --wav "$work/accurate$run.wav" \
      "$work/tone.prg" || fail "accurate: exit status $?"
  done
  cmp -s "$work/accurate1.wav" "$work/accurate2.wav" ||
    fail "two runs of the accurate machine wrote different files"
  sizes=$(wav_sizes "$work/accurate1.wav")
  [ "$sizes" = "439942 439906 439950" ] || fail "accurate: sizes $sizes"
  # Interrupted, a long run ends at the next frame with its header whole.
  "$quillon" --headless --frames 1000000 --wav "$work/long.wav" &
  pid=$!
  sleep 1
  kill -INT $pid
  wait $pid
  status=$?
  [ $status -eq 130 ] || fail "interrupted run exited with $status"
  read -r riff data size < <(wav_sizes "$work/long.wav")
  [ $size -gt 100000 ] && [ $riff -eq $((size - 8)) ] && [ $data -eq $((size - 44)) ] ||
    fail "interrupted run's sizes: $riff $data $size"
  ;;
no-display)
  # Without a desktop the plain start boots headless and shows the screen.
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$quillon" 2>/dev/null) || fail "exit status $?"
  echo "$out" | grep -q '^READY\.$' || fail "no READY.: $out"
  ;;
debug-exit)
  # The guest's byte at $D7FF is the exit status; running out of frames is 3.
  for value in 0 7 255; do
    "$quillon" --headless --debug-exit --type "POKE 55295,$value\n" --frames 600 >/dev/null 2>&1
    status=$?
    [ $status -eq $value ] || fail "POKE 55295,$value exited with $status"
  done
  "$quillon" --headless --debug-exit --frames 20 >/dev/null 2>"$work/stderr"
  status=$?
  [ $status -eq 3 ] || fail "frames ran out with status $status"
  grep -q 'no exit status to \$D7FF within 20 frames' "$work/stderr" || fail "$(cat "$work/stderr")"
  "$quillon" --headless --type 'PRINT 1\n' --frames 20 >/dev/null 2>"$work/stderr"
  [ $? -eq 3 ] || fail "untyped text did not end with 3"
  ;;
trace-log)
  "$quillon" --headless --frames 2 --trace-log - --screen-text >"$work/out" || fail "exit status $?"
  [ "$(head -n 1 "$work/out")" = "         0  FCE2  A2 FF     LDX #\$FF     A:00 X:00 Y:00 P:30 SP:FF" ] ||
    fail "first line: $(head -n 1 "$work/out")"
  [ "$(wc -l <"$work/out")" -gt 10000 ] || fail "too few lines"
  "$quillon" --headless --frames 2 --trace-log "$work/trace.log" >/dev/null || fail "exit status $?"
  lines=$(wc -l <"$work/trace.log")
  [ "$(head -n "$lines" "$work/out")" = "$(cat "$work/trace.log")" ] || fail "file and stdout differ"
  [ "$(tail -n +$((lines + 1)) "$work/out" | wc -l)" -eq 25 ] || fail "no screen text after the log"
  ;;
snapshot | snapshot-accurate)
  # A run resumed from its snapshot ends as the run that never stopped, byte for byte, in either
  # model; the snapshot brings its model, whatever --model says.
  model=classic other=accurate
  [ "$case_name" = snapshot-accurate ] && model=accurate other=classic
  "$quillon" --headless --model $model --type 'PRINT 6*7\n' --frames 260 \
    --screenshot "$work/whole.png" --screen-text >"$work/whole.txt" || fail "exit status $?"
  "$quillon" --headless --model $model --type 'PRINT 6*7\n' --frames 130 \
    --snapshot-save "$work/half.qsn" || fail "exit status $?"
  for loader in $model $other; do
    "$quillon" --headless --model $loader --snapshot-load "$work/half.qsn" --frames 130 \
      --screenshot "$work/resumed.png" --screen-text >"$work/resumed.txt" || fail "exit status $?"
    cmp -s "$work/whole.png" "$work/resumed.png" || fail "the pictures differ ($loader)"
    cmp -s "$work/whole.txt" "$work/resumed.txt" || fail "the screens differ ($loader)"
  done
  grep -q '^ 42$' "$work/resumed.txt" || fail "no 42"
  # Damaged and cut-short snapshots: status 2, one line, nothing run.
  head -c 1000 "$work/half.qsn" >"$work/cut.qsn"
  cp "$work/half.qsn" "$work/flipped.qsn"
  printf '\125' | dd of="$work/flipped.qsn" bs=1 seek=4000 conv=notrunc 2>/dev/null
  for damaged in cut flipped; do
    "$quillon" --headless --snapshot-load "$work/$damaged.qsn" --screen-text >"$work/stdout" 2>"$work/stderr"
    status=$?
    [ $status -eq 2 ] || fail "$damaged snapshot exited with $status"
    [ ! -s "$work/stdout" ] || fail "$damaged snapshot ran"
    [ "$(wc -l <"$work/stderr")" -eq 1 ] || fail "$damaged: $(cat "$work/stderr")"
  done
  ;;
monitor)
  # The text monitor on piped input: its answers on stdout, the end of the input ends the run.
  out=$(printf 'r\nz\n> 0400 08 09\nm 0400 0401\n' | "$quillon" --headless --monitor) ||
    fail "exit status $?"
  echo "$out" | grep -q 'PC:FCE2 A:00 X:00 Y:00 SP:FF FL:30' || fail "no registers: $out"
  echo "$out" | grep -q '^(FCE2) FCE4  78        SEI ' || fail "no step: $out"
  echo "$out" | grep -q '0400  08 09 ' || fail "no memory: $out"
  printf 'quit\n' | "$quillon" --headless --monitor --screen-text >"$work/screen" ||
    fail "quit: exit status $?"
  # A second server on the port of the first cannot start: one line, status 2. The first,
  # waiting for a client that never comes, ends on SIGTERM.
  "$quillon" --headless --remote-monitor=127.0.0.1:0 2>"$work/first" &
  first=$!
  for _ in $(seq 100); do
    port=$(sed -n 's/.*listens on 127.0.0.1 port \([0-9]*\).*/\1/p' "$work/first")
    [ -n "$port" ] && break
    sleep 0.05
  done
  [ -n "$port" ] || fail "the first server said no port: $(cat "$work/first")"
  "$quillon" --headless --remote-monitor=127.0.0.1:"$port" --frames 5 2>"$work/second"
  status=$?
  [ $status -eq 2 ] || fail "the second server exited with $status"
  [ "$(wc -l <"$work/second")" -eq 1 ] || fail "$(cat "$work/second")"
  grep -q "cannot listen on 127.0.0.1:$port" "$work/second" || fail "$(cat "$work/second")"
  kill -TERM $first
  wait $first
  status=$?
  [ $status -eq 143 ] || fail "the first server exited with $status"
  ;;
bad-arguments)
  write_program "$work/prog.prg"
  for arguments in "--bogus" "--headless --frames" "--headless --frames ten" \
    "--headless --frames 0" "--headless $work/missing.prg" "--headless $work/notes.txt" \
    "--frames 5" "--headless --type ~" "--headless --screenshot --frames 3" \
    "--headless --trace-log" "--debug-exit" "--headless --snapshot-load $work/missing.qsn" \
    "--headless --realtime=1" "--headless -- --frames" \
    "--headless --screen-text --screenshot $work/never.png $work/missing.prg" \
    "--wav $work/never.wav" "--headless --wav" "--headless --wav $work/no/such/dir.wav" \
    "--headless --model turbo" "--headless --cia new" "--headless --model accurate --cia 8521" \
    "--headless --sid 8580" "--headless --model accurate --sid 6582" \
    "--headless --remote-monitor=nowhere" "--remote-monitor=:1" "--monitor=yes"; do
    # Without a display: where there is one, a mistake meant for the window shows in a dialog
    # as well (tests/gtk/window_e2e.sh).
    # shellcheck disable=SC2086
    env -u DISPLAY -u WAYLAND_DISPLAY "$quillon" $arguments >"$work/stdout" 2>"$work/stderr"
    status=$?
    [ $status -eq 2 ] || fail "'$arguments' exited with $status"
    [ ! -s "$work/stdout" ] || fail "'$arguments' wrote to stdout"
    [ "$(wc -l <"$work/stderr")" -eq 1 ] || fail "'$arguments' did not say one line"
    [ ! -e "$work/never.png" ] && [ ! -e "$work/never.wav" ] || fail "'$arguments' wrote a file"
  done
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
echo "passed: $case_name"
