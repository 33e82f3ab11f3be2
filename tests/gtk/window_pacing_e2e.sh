#!/usr/bin/env bash
# The window's pace over a minute, on the X display that xvfb-run provides: BASIC's clock TI
# counts the KERNAL's timer interrupts, one every 16,421 steps under PAL, so the jiffies that
# pass between two PRINT TI say how many steps the window ran in that time. Fifty frames of
# 19,968 steps a second make 60.80 jiffies a second; the window must keep that within 0.5%.
#
# usage: window_pacing_e2e.sh QUILLON PICTURE_TEXT [SECONDS]
set -euo pipefail

quillon=$1
picture_text=$2
seconds=${3:-60}
work=$(mktemp -d)
pid=
trap 'if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
title="Quillon | win32 | 3rd Public Beta"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

"$quillon" 2>"$work/stderr" &
pid=$!
for _ in $(seq 100); do
  window=$(xdotool search --name "^${title//|/\\|}\$" 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || fail "no window titled '$title'"
xdotool windowfocus --sync "$window"

# The text screen inside the 360 x 240 picture below the menu bar, into $work/text.
read_screen() {
  import -window "$window" "$work/shot.png"
  read -r width height < <(identify -format '%w %h\n' "$work/shot.png")
  : >"$work/text"
  [ "$width" -eq 360 ] && [ "$height" -gt 240 ] || return 0
  convert "$work/shot.png" -crop "320x200+20+$((height - 220))" +repage ppm:- |
    "$picture_text" >"$work/text"
}

# The first row from $1 on that holds nothing but a number, once one is there.
number_from_row() {
  for _ in $(seq 60); do
    read_screen
    number=$(tail -n +"$(($1 + 1))" "$work/text" | grep -m1 -x ' [0-9][0-9]*' || true)
    [ -n "$number" ] && echo "$number" && return 0
    sleep 0.25
  done
  fail "no number below row $1"
}

# Types PRINT TI and RETURN; prints the time of RETURN in milliseconds.
print_ti() {
  for key in p r i n t space t i; do
    xdotool keydown "$key"
    sleep 0.08
    xdotool keyup "$key"
    sleep 0.08
  done
  xdotool keydown Return
  date +%s%3N
  sleep 0.08
  xdotool keyup Return
}

for _ in $(seq 60); do
  read_screen
  grep -qx 'READY\.' "$work/text" && break
  sleep 0.25
done
grep -qx 'READY\.' "$work/text" || fail "no READY."

first_time=$(print_ti)
first=$(number_from_row 6)
sleep "$seconds"
second_time=$(print_ti)
second=$(number_from_row 9)

rate=$(awk -v j=$((second - first)) -v ms=$((second_time - first_time)) \
  'BEGIN { printf "%.3f", j * 1000 / ms }')
echo "jiffies $first -> $second in $((second_time - first_time)) ms: $rate a second"
awk -v r="$rate" 'BEGIN { expected = 19968 * 50 / 16421; d = (r - expected) / expected;
                          if (d < 0) d = -d; exit !(d <= 0.005) }' ||
  fail "the window ran at $rate jiffies a second, not 60.80 within 0.5%"

xdotool windowclose "$window"
wait "$pid" || fail "the window ended with status $?"
pid=
echo "window pacing: passed"
