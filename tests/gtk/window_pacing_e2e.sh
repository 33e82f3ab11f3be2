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
trap 'if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
# shellcheck source=../e2e_helpers.sh
source "$(dirname "$0")/../e2e_helpers.sh"
export XDG_CONFIG_HOME="$work/config"

# The first row from $1 on that holds nothing but a number, once one is there.
number_from_row() {
  for _ in $(seq 60); do
    read_screen 20
    number=$(tail -n +"$(($1 + 1))" "$work/text" | grep -m1 -x ' [0-9][0-9]*' || true)
    [ -n "$number" ] && echo "$number" && return 0
    sleep 0.25
  done
  fail "no number below row $1"
}

# Types PRINT TI and RETURN; prints the time of RETURN in milliseconds.
print_ti() {
  press p r i n t space t i >/dev/null
  xdotool keydown Return
  date +%s%3N
  sleep "$hold"
  xdotool keyup Return
}

start
wait_for_row 20 5 "READY\\."
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

close_window
echo "window pacing: passed"
