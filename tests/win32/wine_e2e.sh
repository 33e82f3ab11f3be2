#!/usr/bin/env bash
# The Windows programs that make windows cross-builds, end to end:
#   programs      both files: PE32 and PE32+, and nothing imported but Windows' own libraries
#   command-line  under Wine: headless runs print and exit as on Linux, in both programs
#   window        the 32-bit program alone in an empty folder, under Wine on a virtual X
#                 display: boot, typing, F12, full screen, Show border, About, File > Load
#                 program through the real dialog, File > Exit and Alt+F4
# Wine runs in prefixes of the build tree's own. A program that is not built, or a tool that is
# missing, skips the test (status 77).
#
# usage: wine_e2e.sh CASE WINDOWS_BUILDS NATIVE_QUILLON PICTURE_TEXT WINE_DIRECTORY
set -euo pipefail

case_name=$1
windows_builds=$2
native=$3
picture_text=$4
wine_dir=$5
program32="$windows_builds/build-win32/quillon.exe"
program64="$windows_builds/build-win64/quillon.exe"

skip() {
  echo "SKIPPED: $*" >&2
  exit 77
}

fail() {
  echo "FAIL: $*" >&2
  if [ -n "${work:-}" ] && [ -f "$work/text" ]; then sed 's/^/  | /' "$work/text" >&2; fi
  exit 1
}

needs() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps.sh wine)"
  done
}

[ -f "$program32" ] && [ -f "$program64" ] || skip "the Windows programs are not built (make windows)"

# Makes $1 (win32 or win64) the Wine prefix of the following commands, creating it once; tests
# that run at the same time take turns at creating it.
use_prefix() {
  mkdir -p "$wine_dir"
  export WINEPREFIX="$wine_dir/$1" WINEARCH=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot --init >/dev/null 2>&1 || fail "cannot create the Wine prefix $WINEPREFIX"
      wineserver --wait
    fi
  ) 9>"$wine_dir/$1.lock"
}

work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  # Wine's own processes end a few seconds after the last program.
  if [ -n "${WINEPREFIX:-}" ]; then wineserver --wait 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# A Windows path for a file of this machine: Wine's drive Z: is the root directory.
windows_path() { echo "Z:${1//\//\\}"; }

programs() {
  needs file i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump identify
  file "$program32" | grep -q 'PE32 executable (GUI) Intel 80386' || fail "$(file "$program32")"
  file "$program64" | grep -q 'PE32+ executable (GUI) x86-64' || fail "$(file "$program64")"
  # Only libraries that every Windows has: the runtimes and the thread library are linked in.
  expected="comdlg32.dll ddraw.dll gdi32.dll kernel32.dll msvcrt.dll msvfw32.dll shell32.dll"
  expected+=" user32.dll winmm.dll "
  for objdump in i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump; do
    program=$program32
    [ "$objdump" = x86_64-w64-mingw32-objdump ] && program=$program64
    libraries=$("$objdump" -p "$program" | awk '/DLL Name:/ { print tolower($3) }' | sort | tr '\n' ' ')
    [ "$libraries" = "$expected" ] ||
      fail "$program imports $libraries"
  done
  # The pictures the resource compiler took in: the About bitmap and the icon in three sizes.
  resources="$windows_builds/build-win32/host/win32/resources"
  [ "$(identify -format '%m %wx%h %z\n' "$resources/about.bmp")" = "BMP3 320x200 8" ] ||
    fail "about.bmp is not a 320 x 200 picture"
  [ "$(identify -format '%m %wx%h\n' "$resources/quillon.ico" | tr '\n' ' ')" = \
    "ICO 16x16 ICO 32x32 ICO 48x48 " ] || fail "quillon.ico does not hold the icon's three sizes"
}

command_line() {
  needs wine wineboot wineserver
  cd "$work"
  for arch in win32 win64; do
    program=$program32
    [ "$arch" = win64 ] && program=$program64
    use_prefix "$arch"
    # Text comes out as Windows writes it, with CR LF line ends.
    wine "$program" --headless --type 'PRINT 6*7\n' --screen-text >"$work/stdout" ||
      fail "$arch: status $?"
    out=$(tr -d '\r' <"$work/stdout")
    echo "$out" | grep -q '^ 42$' || fail "$arch: no 42 in: $out"
    wineserver --wait
  done

  use_prefix win32
  wine "$program32" --help >"$work/stdout" || fail "--help: status $?"
  grep -q -- '--headless' "$work/stdout" || fail "--help prints no usage"
  status=0
  wine "$program32" --headless --frames ten >"$work/stdout" 2>"$work/stderr" || status=$?
  [ "$status" -eq 2 ] || fail "a bad argument ends with status $status"
  [ ! -s "$work/stdout" ] && [ "$(wc -l <"$work/stderr")" -eq 1 ] ||
    fail "a bad argument does not say one line on stderr"
  # The same picture as the Linux program's, byte for byte: the same PNG writer.
  wine "$program32" --headless --frames 120 --screenshot windows.png || fail "--screenshot: status $?"
  "$native" --headless --frames 120 --screenshot linux.png
  cmp -s windows.png linux.png || fail "the screenshot differs from the Linux program's"
}

# --- The window ---

title="Quillon | win32 | 3rd Public Beta"
hold=0.08

start() {
  wine quillon.exe "$@" 2>"$work/stderr" &
  pid=$!
  window=
  for _ in $(seq 150); do
    window=$(xdotool search --onlyvisible --name "^${title//|/\\|}\$" 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || fail "no window titled '$title'"
  xdotool windowfocus --sync "$window"
}

# The window's picture of $1 x $2 pixels, below the menu bar, as $work/picture.png; fails while
# the window has another size.
snapshot() {
  import -window "$window" "$work/shot.png"
  read -r shot_width shot_height < <(identify -format '%w %h\n' "$work/shot.png")
  menu_height=$((shot_height - $2))
  [ "$shot_width" -eq "$1" ] && [ "$menu_height" -gt 0 ] || return 1
  convert "$work/shot.png" -crop "${1}x${2}+0+${menu_height}" +repage "$work/picture.png"
}

# The text screen as the window shows it, into $work/text; $1 is the border's width (20 or 0).
read_screen() {
  if ! snapshot $((320 + 2 * $1)) $((200 + 2 * $1)); then
    : >"$work/text"
    return
  fi
  convert "$work/picture.png" -crop "320x200+$1+$1" +repage ppm:- | "$picture_text" >"$work/text"
}

# Waits until text row $2 matches the regular expression $3 whole; $1 is the border's width.
wait_for_row() {
  for _ in $(seq 60); do
    read_screen "$1"
    sed -n "$(($2 + 1))p" "$work/text" | grep -qx -- "$3" && return 0
    sleep 0.25
  done
  fail "row $2 does not read '$3'"
}

press() {
  for key in "$@"; do
    xdotool keydown "$key"
    sleep $hold
    xdotool keyup "$key"
    sleep $hold
  done
}

# A menu item by the menu's and the item's mnemonic letters.
menu() {
  xdotool key "alt+$1"
  sleep 0.3
  xdotool key "$2"
  sleep 0.5
}

# Runs the command until it succeeds, for up to fifteen seconds (Wine, without a window
# manager, takes two seconds to hide a window).
retry() {
  for _ in $(seq 60); do
    "$@" && return 0
    sleep 0.25
  done
  return 1
}

visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
hidden() { ! visible "$1"; }
window_geometry() { xdotool getwindowgeometry "$window" | tail -1; }
window_geometry_is() { [ "$(window_geometry)" = "$1" ]; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }

ends_with_status_0() {
  status=0
  wait "$pid" || status=$?
  pid=
  [ "$status" -eq 0 ] || fail "$1 ended the program with status $status"
}

window() {
  needs wine wineboot wineserver xvfb-run xdotool import convert identify compare
  # On a virtual X display of its own.
  if [ -z "${QUILLON_WINE_DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" env QUILLON_WINE_DISPLAY=1 \
      bash "$0" "$case_name" "$windows_builds" "$native" "$picture_text" "$wine_dir"
  fi
  use_prefix win32
  # The 32-bit program alone in an empty folder: no ROM files, nothing installed.
  mkdir "$work/folder"
  cp "$program32" "$work/folder/quillon.exe"
  cd "$work/folder"

  # --- Boot, typing, the picture against a headless run's ---
  start
  wait_for_row 20 5 "READY\\."
  [ "$(sed -n 2p "$work/text")" = "    **** COMMODORE 64 BASIC V2 ****" ] || fail "no start banner"
  press p r i n t space 6 KP_Multiply 7 Return
  wait_for_row 20 7 " 42"
  [ "$(sed -n 7p "$work/text")" = "PRINT 6*7" ] || fail "the typed line is not 'PRINT 6*7'"
  wine quillon.exe --headless --type 'PRINT 6*7\n' --frames 300 --screenshot headless.png
  convert headless.png -crop 360x100+0+0 +repage "$work/headless_top.png"
  convert "$work/picture.png" -crop 360x100+0+0 +repage "$work/window_top.png"
  compare -metric AE "$work/headless_top.png" "$work/window_top.png" null: 2>/dev/null ||
    fail "the window's picture differs from the headless run's"

  # --- Idle processor use at READY. ---
  ticks_before=$(cpu_ticks)
  sleep 5
  ticks_after=$(cpu_ticks)
  cpu_percent=$(((ticks_after - ticks_before) * 100 / $(getconf CLK_TCK) / 5))
  echo "processor use idling at READY. under Wine: ${cpu_percent}% of one core"
  [ "$cpu_percent" -lt 50 ] || fail "idle processor use ${cpu_percent}% is 50% or more"

  # --- F12 draws the trace view and the status line over the picture ---
  xdotool keydown F12
  wait_for_row 20 0 '\$[0-9A-F]\{4\}: \$[0-9A-F][0-9A-F] .*NV-BDIZC'
  grep -q '^STACKP: \$00[0-9A-F][0-9A-F] A:\$[0-9A-F][0-9A-F] X:' "$work/text" ||
    fail "no registers under the instruction"
  sed -n 25p "$work/text" | grep -q 'S:[0-9][0-9] -  PAL [0-9]\{4\}%$' || fail "no status line"
  xdotool keyup F12

  # --- Full screen: the window covers the 1280 x 1024 screen, the picture scaled four times to
  # 1280 x 800 in its middle; Esc brings the window back as it was ---
  geometry_before=$(window_geometry)
  menu s f
  retry window_geometry_is "  Geometry: 1280x1024" || fail "full screen does not cover the screen"
  for _ in $(seq 20); do
    import -window root "$work/root.png"
    convert "$work/root.png" -crop 1280x800+0+112 +repage -filter point -resize 320x200 ppm:- |
      "$picture_text" >"$work/text"
    [ "$(sed -n 8p "$work/text")" = " 42" ] && break
    sleep 0.25
  done
  [ "$(sed -n 8p "$work/text")" = " 42" ] || fail "full screen does not show the picture scaled"
  press Escape
  retry window_geometry_is "$geometry_before" || fail "Esc does not bring the window back"
  wait_for_row 20 7 " 42"

  # --- Show border off: the client area fits the 320 x 200 picture exactly ---
  menu s b
  wait_for_row 0 7 " 42"
  menu s b
  wait_for_row 20 7 " 42"

  # --- The About dialog shows bitmap 105: the rainbow's red band is 224 x 4 pixels ---
  menu question a
  retry visible '^About $' || fail "no About dialog"
  about=$(xdotool search --onlyvisible --name '^About $' | head -1)
  import -window "$about" "$work/about.png"
  red=$(convert "$work/about.png" -alpha off -fill white -opaque 'rgb(224,64,64)' \
    -fill black +opaque white -format '%[fx:int(mean*w*h+0.5)]' info:)
  [ "$red" -ge 896 ] || fail "the About dialog shows no picture ($red red pixels)"
  press Escape
  retry hidden '^About $' || fail "Esc does not close the About dialog"

  # --- File > Exit ends the program with status 0 ---
  menu f x
  ends_with_status_0 "File > Exit"

  # --- File > Load program through the real dialog, then Alt+F4 ---
  printf '\x01\x08\x14\x08\x0a\x00\x99\x20\x22FROMDIALOG\x22\x00\x00\x00' >"$work/DIALOG.PRG"
  start
  wait_for_row 20 5 "READY\\."
  menu f p
  retry visible '^Open$' || fail "no open-file dialog"
  xdotool type --delay 50 "$(windows_path "$work/DIALOG.PRG")"
  sleep 0.3
  press Return
  for _ in $(seq 60); do
    read_screen 20
    grep -qx 'FROMDIALOG' "$work/text" && break
    sleep 0.25
  done
  grep -qx 'FROMDIALOG' "$work/text" || fail "the program chosen in the dialog did not run"
  xdotool key alt+F4
  ends_with_status_0 "Alt+F4"
}

case $case_name in
programs) programs ;;
command-line) command_line ;;
window) window ;;
*) fail "unknown case $case_name" ;;
esac
echo "passed: $case_name"
