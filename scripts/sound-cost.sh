#!/usr/bin/env bash
# What the sound costs headless runs: both models' speed as a multiple of real time, with and
# without --wav, on BASIC waiting at its prompt (the SID silent) and on a program that plays
# three voices, one of them through the low-pass filter, while the KERNAL's interrupt runs as
# at the prompt. A third program makes the same writes with the gates shut and the volume at 0,
# so that the chip has nothing to sound: the difference is what the sounding chip costs.
#
# usage: scripts/sound-cost.sh [QUILLON] [FRAMES]     (default build/quillon, 25000 frames)
set -euo pipefail
cd "$(dirname "$0")/.."
quillon=${1:-build/quillon}
frames=${2:-25000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A program that RUN starts: the BASIC line 10 SYS2061, then LDA #value / STA address for
# each pair given, then JMP to itself.
write_program() {
  local file=$1 at=2061 bytes=""
  shift
  bytes+='\x01\x08\x0b\x08\x0a\x00\x9e2061\x00\x00\x00'
  while [ $# -gt 0 ]; do
    bytes+=$(printf '\\xa9\\x%02x\\x8d\\x%02x\\x%02x' "$2" $(($1 & 255)) $(($1 >> 8)))
    at=$((at + 5))
    shift 2
  done
  bytes+=$(printf '\\x4c\\x%02x\\x%02x' $((at & 255)) $((at >> 8)))
  printf "$bytes" >"$file"
}

# Voice 1 a sawtooth through the low-pass, voice 2 a pulse, voice 3 a triangle; $1 is the
# volume register's value, $2 the gate bit.
voices() {
  echo 0xd416 0x40 0xd417 0x01 0xd418 "$1" \
    0xd400 0xd6 0xd401 0x1c 0xd405 0x22 0xd406 0xa8 0xd404 $((0x20 | $2)) \
    0xd407 0x6b 0xd408 0x0e 0xd40a 0x06 0xd40c 0x22 0xd40d 0xa8 0xd40b $((0x40 | $2)) \
    0xd40e 0x3f 0xd40f 0x2b 0xd413 0x22 0xd414 0xa8 0xd412 $((0x10 | $2))
}
# shellcheck disable=SC2046
write_program "$work/playing.prg" $(voices 0x1f 1)
# shellcheck disable=SC2046
write_program "$work/silent.prg" $(voices 0x00 0)

# Seconds the run takes.
seconds() {
  local start end
  start=$(date +%s.%N)
  "$quillon" --headless --frames "$frames" "$@" >/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

echo "$frames frames ($((frames / 50)) s of C64 time), $(nproc) cores, one used"
printf '%-10s %-26s %10s %12s\n' model run seconds x_realtime
for model in classic accurate; do
  for program in "" silent playing; do
    for wav in "" wav; do
      arguments=(--model "$model")
      [ -n "$program" ] && arguments+=("$work/$program.prg")
      [ -n "$wav" ] && arguments+=(--wav "$work/out.wav")
      time=$(seconds "${arguments[@]}")
      name="${program:-basic idle}${wav:+ --wav}"
      printf '%-10s %-26s %10.2f %12.0f\n' "$model" "$name" "$time" \
        "$(echo "$frames / 50 / $time" | bc -l)"
    done
  done
done
