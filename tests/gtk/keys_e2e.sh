#!/usr/bin/env bash
# The keyboard, the joystick and the remembered settings end to end, in the desktop window on
# the X display that xvfb-run provides: the top row of a French layout, BackSpace, RUN/STOP
# with RESTORE, C= with SHIFT, fast typing, Edit > Paste, the joystick in port 1, the screen
# saver held off while running, and the settings kept from one run to the next.
#
# usage: keys_e2e.sh QUILLON PICTURE_TEXT SCREEN_SAVER_STATE
set -euo pipefail

quillon=$1
picture_text=$2
screen_saver_state=$3
work=$(mktemp -d)
clip_pid=
trap 'for p in $pid $clip_pid; do kill "$p" 2>/dev/null || true; done; setxkbmap us; rm -rf "$work"' EXIT
source "$(dirname "$0")/../e2e_helpers.sh"
# The settings live in a folder of this test's own.
export XDG_CONFIG_HOME="$work/config"

# SHIFT+CLR/HOME clears the screen; the cursor goes to row 0.
clear_screen() {
  xdotool keydown Shift_L
  press Home
  xdotool keyup Shift_L
  wait_for_row 20 0 ""
}

# The colour of the border's top left pixel in the window's picture.
border_colour() {
  snapshot 360 240 || return 1
  convert "$work/picture.png" -format '%[hex:p{2,2}]' info:
}

start
wait_for_row 20 5 "READY\\."
startup_border=$(border_colour)

# --- Fast typing arrives whole: 12 ms between keys is less than a frame ---
xdotool type --delay 12 'print 67890'
wait_for_row 20 6 "PRINT 67890"
press Return
wait_for_row 20 7 " 67890"
# Shift+= types the C64's plus, not its graphic cross.
xdotool type --delay 12 'print 1+2'
wait_for_row 20 10 "PRINT 1+2"
press Return
wait_for_row 20 11 " 3"

# --- BackSpace deletes ---
clear_screen
xdotool type --delay 12 'abc'
wait_for_row 20 0 "ABC"
press BackSpace
wait_for_row 20 0 "AB"

# --- A French layout's top row types digits, as its keys' places say ---
clear_screen
setxkbmap fr
press ampersand eacute quotedbl apostrophe parenleft minus egrave underscore ccedilla agrave
wait_for_row 20 0 "1234567890"
setxkbmap us

# --- C= with SHIFT switches to the lower-case character set and back ---
clear_screen
xdotool type --delay 12 'hello'
wait_for_row 20 0 "HELLO"
commodore_shift() {
  xdotool keydown Shift_L keydown Tab
  sleep $hold
  xdotool keyup Tab keyup Shift_L
}
commodore_shift
# In the lower-case set the letters' glyphs are no longer the upper-case set's.
wait_for_row 20 0 "~~~~~"
commodore_shift
wait_for_row 20 0 "HELLO"

# --- RUN/STOP (Esc) held with RESTORE (Page Up) brings a blackened border back ---
clear_screen
xdotool type --delay 12 'poke 53280,0'
press Return
# Waits until the border's colour is (=) or is not (!=) the start-up colour.
wait_for_border() {
  for _ in $(seq 40); do
    [ "$(border_colour)" "$1" "$startup_border" ] && return 0
    sleep 0.25
  done
  return 1
}
wait_for_border != || fail "POKE 53280,0 does not blacken the border"
xdotool keydown Escape
sleep $hold
press Prior
xdotool keyup Escape
wait_for_border = || fail "RUN/STOP with RESTORE does not bring the border back"
wait_for_row 20 1 "READY\\."

# --- Edit > Paste types a two-line program in ---
clear_screen
printf '10 print "pasted"\r\n20 print 6*7\n' >"$work/clip.txt"
xclip -quiet -selection clipboard -i "$work/clip.txt" 2>/dev/null &
clip_pid=$!
sleep 0.5
menu d p
wait_for_row 20 1 "20 PRINT 6\\*7"
[ "$(sed -n 1p "$work/text")" = '10 PRINT "PASTED"' ] || fail "the first pasted line is not whole"
xdotool type --delay 12 'run'
press Return
wait_for_row 20 4 " 42"
[ "$(sed -n 4p "$work/text")" = "PASTED" ] || fail "the pasted program does not run"
kill "$clip_pid"
clip_pid=

# --- The joystick in port 1 shows on CIA1 port B ---
clear_screen
menu s 1
xdotool type --delay 12 '10 print peek(56321)and31:goto10'
press Return
xdotool type --delay 12 'run'
press Return
wait_for_row 20 23 " 31"
xdotool keydown KP_Up
sleep 0.3
wait_for_row 20 23 " 30"
xdotool keyup KP_Up
wait_for_row 20 23 " 31"
press Escape
menu s 2

# --- The screen saver waits while the emulation runs, and starts while it is paused ---
[ "$("$screen_saver_state" 1 3)" = off ] || fail "the screen saver started while running"
menu e p
[ "$("$screen_saver_state" 1 3)" = on ] || fail "the screen saver does not start while paused"
menu e p

# --- Settings kept: border off and NTSC, exit, start again ---
check_settings_kept "$XDG_CONFIG_HOME/quillon"
exit_by_menu

echo "keys end-to-end: all checks passed"
