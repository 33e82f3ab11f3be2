#!/usr/bin/env bash
# The Windows programs that make windows cross-builds, end to end:
#   programs      both files: PE32 and PE32+, and nothing imported but Windows' own libraries
#   command-line  under Wine: headless runs print and exit as on Linux, in both programs, with
#                 files named outside the code page, and a snapshot written over another
#   window        the 32-bit program alone in an empty folder, under Wine on a virtual X
#                 display: boot, typing, F12, full screen, Show border, About laid out around
#                 its picture, File > Load program (a name outside the code page) and Save and
#                 Load snapshot through the real dialogs, a message box owned by the window,
#                 File > Exit and Alt+F4, a bad file at the start told in a message box, and a
#                 window closed maximised that comes back so
#   desktop       the same window with what the desktop gives it: a French layout's top row,
#                 Shift+= typing +, keys let go when the focus leaves, Edit > Paste, files
#                 dropped on the window, Attach and Detach disk through the real dialog, the
#                 screen saver held off while running, and the settings and the program folder
#                 kept between runs
#   sound         the window's sound through Wine's PulseAudio driver, to a server of the
#                 test's own: the tone's pitch, silence when it should be, and a window that
#                 runs on silently when the server stops or is not there
# Wine runs in prefixes of the build tree's own. A program that is not built, or a tool that is
# missing, skips the test (status 77).
#
# usage: wine_e2e.sh CASE WINDOWS_BUILDS NATIVE_QUILLON PICTURE_TEXT WINE_DIRECTORY
#                    [WAV_TONE XDND_DROP]
set -euo pipefail

case_name=$1
windows_builds=$2
native=$3
picture_text=$4
wine_dir=$5
wav_tone=${6:-}
xdnd_drop=${7:-}
program32="$windows_builds/build-win32/quillon.exe"
program64="$windows_builds/build-win64/quillon.exe"
# The helpers of the desktop tests; what differs under Wine is defined again below.
# shellcheck source=../e2e_helpers.sh
source "$(dirname "$0")/../e2e_helpers.sh"
# shellcheck source=../sound_e2e_helpers.sh
source "$(dirname "$0")/../sound_e2e_helpers.sh"

skip() {
  echo "SKIPPED: $*" >&2
  exit 77
}

fail() {
  echo "FAIL: $*" >&2
  if [ -n "${work:-}" ] && [ -f "$work/text" ]; then sed 's/^/  | /' "$work/text" >&2; fi
  if [ -n "${work:-}" ] && [ -f "$work/stderr" ]; then grep '^quillon:' "$work/stderr" >&2; fi
  exit 1
}

needs() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps.sh wine)"
  done
}

[ -f "$program32" ] && [ -f "$program64" ] || skip "the Windows programs are not built (make windows)"

# File names in UTF-8 on this side, whatever the caller's locale: Wine reads them so.
export LC_ALL=C.UTF-8
# A name outside every Western code page.
unicode=日本

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
helpers=()
cleanup() {
  for process in $pid "${helpers[@]}"; do kill "$process" 2>/dev/null || true; done
  if [ -n "${unmanaged:-}" ]; then wine reg delete "$x11_driver_key" /v Managed /f >/dev/null 2>&1 || true; fi
  # Wine's own processes end a few seconds after the last program.
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver --wait 2>/dev/null || true
    # The next window starts with the default settings.
    rm -rf "$(settings_folder)"
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Reruns this case on a virtual X display of its own, which keeps the keyboard layout it is
# given when its last client leaves.
on_virtual_display() {
  if [ -z "${QUILLON_WINE_DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" env QUILLON_WINE_DISPLAY=1 \
      bash "$0" "$case_name" "$windows_builds" "$native" "$picture_text" "$wine_dir" \
      "$wav_tone" "$xdnd_drop"
  fi
}

# Where the program keeps its settings in the prefix: %APPDATA%\Quillon.
settings_folder() { echo "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Quillon"; }

# The 32-bit program alone in an empty folder, $work/folder, which becomes the current one:
# no ROM files, nothing installed.
program_alone() {
  use_prefix win32
  rm -rf "$(settings_folder)"
  mkdir "$work/folder"
  cp "$program32" "$work/folder/quillon.exe"
  cd "$work/folder"
}

# A Windows path for a file of this machine: Wine's drive Z: is the root directory.
windows_path() { echo "Z:${1//\//\\}"; }

programs() {
  needs file i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump identify
  file "$program32" | grep -q 'PE32 executable (GUI) Intel 80386' || fail "$(file "$program32")"
  file "$program64" | grep -q 'PE32+ executable (GUI) x86-64' || fail "$(file "$program64")"
  # Only libraries that every Windows has: the runtimes and the thread library are linked in.
  expected="comdlg32.dll ddraw.dll gdi32.dll kernel32.dll msvcrt.dll msvfw32.dll shell32.dll"
  expected+=" user32.dll winmm.dll ws2_32.dll "
  for objdump in i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump; do
    program=$program32
    [ "$objdump" = x86_64-w64-mingw32-objdump ] && program=$program64
    libraries=$("$objdump" -p "$program" | awk '/DLL Name:/ { print tolower($3) }' | sort | tr '\n' ' ')
    [ "$libraries" = "$expected" ] ||
      fail "$program imports $libraries"
  done
  # The pictures the resource compiler took in: the About bitmap and the icon in three sizes.
  resources="$windows_builds/build-win32/shell/backends/win32/resources"
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
  # A name outside the code page, on the command line and in the files the run writes: the
  # program runs, and a snapshot written twice replaces the first with nothing left beside it.
  for arch in win32 win64; do
    program=$program32
    [ "$arch" = win64 ] && program=$program64
    use_prefix "$arch"
    print_program UNICODENAME >"$work/$unicode.prg"
    for _ in 1 2; do
      wine "$program" --headless --frames 400 --screen-text --snapshot-save "$unicode.qsn" \
        "$unicode.prg" >"$work/stdout" || fail "$arch: $unicode.prg: status $?"
      tr -d '\r' <"$work/stdout" | grep -qx UNICODENAME || fail "$arch: $unicode.prg did not run"
    done
    [ "$(ls "$work" | grep -c "^$unicode\.qsn")" -eq 1 ] || fail "$arch: $(ls "$work")"
    wine "$program" --headless --snapshot-load "$unicode.qsn" --frames 1 --screen-text \
      >"$work/stdout" || fail "$arch: the snapshot does not load"
    tr -d '\r' <"$work/stdout" | grep -qx UNICODENAME || fail "$arch: the snapshot is not the run's"
    status=0
    wine "$program" --headless "missing$unicode.prg" 2>"$work/stderr" || status=$?
    [ "$status" -eq 2 ] && tr -d '\r' <"$work/stderr" | grep -qx "quillon: cannot read 'missing$unicode.prg'" ||
      fail "$arch: the missing file's name is not told whole: $(cat "$work/stderr")"
    wineserver --wait
  done

  use_prefix win32
  # The same picture as the Linux program's, byte for byte: the same PNG writer.
  wine "$program32" --headless --frames 120 --screenshot windows.png || fail "--screenshot: status $?"
  "$native" --headless --frames 120 --screenshot linux.png
  cmp -s windows.png linux.png || fail "the screenshot differs from the Linux program's"
}

# --- The window ---

# The Windows program under Wine; its window comes up hidden first.
launch=(wine quillon.exe)

visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
hidden() { ! visible "$1"; }

# The rows beneath the About picture (the bounding box of its light blue frame) that are dark
# across 40% of the picture's width or more: a push button's dotted focus frame makes two, its
# top edge and its bottom edge.
rows_under_picture() {
  local width height left top bottom rows
  read -r width height left top < <(convert "$1" -alpha off -fill black -opaque white \
    -fill white -opaque 'rgb(160,160,255)' -fill black +opaque white -format '%@' info: |
    tr 'x+' '  ')
  bottom=$((top + height))
  rows=$(($(identify -format '%h' "$1") - bottom))
  convert "$1" -alpha off -crop "${width}x${rows}+${left}+${bottom}" +repage -colorspace gray \
    -threshold 25% -negate -scale "1x${rows}!" -depth 8 txt:- |
    awk 'NR > 1 { split($0, a, "[(,)]"); if (a[4] + 0 >= 0.4 * 255) n++ } END { print n + 0 }'
}

# Where Wine is told whether the window manager places its windows.
x11_driver_key='HKCU\Software\Wine\X11 Driver'

# An item of the window's system menu, by its letter.
system_menu() {
  xdotool key alt+space
  sleep 0.5
  xdotool key "$1"
  sleep 0.5
}

# Maximised on the 1280 x 1024 screen: the window covers it, its frame beyond the edges.
window_is_maximized() {
  local size
  size=$(window_geometry | sed 's/.*Geometry: //')
  [ "${size%x*}" -ge 1280 ] && [ "${size#*x}" -ge 1024 ]
}

window() {
  needs wine wineboot wineserver xvfb-run xdotool import convert identify compare xprop timeout
  on_virtual_display
  program_alone

  # --- Boot, typing, the picture against a headless run's ---
  wine quillon.exe --headless --type 'PRINT 6*7\n' --frames 300 --screenshot headless.png
  start
  check_boot_and_typing headless.png

  # --- Idle processor use at READY. ---
  cpu_percent=$(cpu_percent_over 5)
  echo "processor use idling at READY. under Wine: ${cpu_percent}% of one core"
  [ "$cpu_percent" -lt 50 ] || fail "idle processor use ${cpu_percent}% is 50% or more"

  # --- F12 draws the trace view and the status line over the picture ---
  xdotool keydown F12
  wait_for_row 20 0 '\$[0-9A-F]\{4\}: \$[0-9A-F][0-9A-F] .*NV-BDIZC'
  grep -q '^STACKP: \$00[0-9A-F][0-9A-F] A:\$[0-9A-F][0-9A-F] X:' "$work/text" ||
    fail "no registers under the instruction"
  sed -n 25p "$work/text" | grep -q 'S:[0-9][0-9] -  PAL [0-9]\{4\}%$' || fail "no status line"
  xdotool keyup F12

  # --- Full screen and back ---
  check_full_screen_and_back " 42"

  # --- Show border off: the client area fits the 320 x 200 picture exactly ---
  menu s b
  wait_for_row 0 7 " 42"
  menu s b
  wait_for_row 20 7 " 42"

  # --- The About dialog shows bitmap 105: the rainbow's red band is 224 x 4 pixels; the OK
  # button lies whole beneath the picture, its dotted focus frame's top and bottom edges too ---
  menu question a
  retry visible '^About $' || fail "no About dialog"
  about=$(xdotool search --onlyvisible --name '^About $' | head -1)
  import -window "$about" "$work/about.png"
  red=$(convert "$work/about.png" -alpha off -fill white -opaque 'rgb(224,64,64)' \
    -fill black +opaque white -format '%[fx:int(mean*w*h+0.5)]' info:)
  [ "$red" -ge 896 ] || fail "the About dialog shows no picture ($red red pixels)"
  [ "$(rows_under_picture "$work/about.png")" -eq 2 ] ||
    fail "the OK button is not whole beneath the About picture"
  press Escape
  retry hidden '^About $' || fail "Esc does not close the About dialog"

  # --- File > Exit ends the program with status 0 ---
  menu f x
  ends_with_status_0 "File > Exit"

  # --- File > Load program through the real dialog, a name outside the code page ---
  print_program FROMDIALOG >"$work/$unicode.prg"
  start
  wait_for_row 20 5 "READY\\."
  menu f p
  retry visible '^Open$' || fail "no open-file dialog"
  xdotool type --delay 50 "$(windows_path "$work/$unicode.prg")"
  sleep 0.3
  press Return
  wait_for_line 20 FROMDIALOG

  # --- File > Save snapshot... through the real dialog writes the machine; typed over, it
  # comes back with File > Load snapshot... ---
  menu f s
  retry visible '^Save As$' || fail "no save-file dialog"
  xdotool type --delay 50 "$(windows_path "$work/saved $unicode")"
  press Return
  retry test -s "$work/saved $unicode.qsn" || fail "Save snapshot wrote no file"
  retry hidden '^Save As$' || fail "the save-file dialog stays"
  clear_screen 20
  type_line 20 'print "changed"' 1 CHANGED
  menu f n
  retry visible '^Open$' || fail "no open-file dialog for Load snapshot"
  xdotool type --delay 50 "$(windows_path "$work/saved $unicode.qsn")"
  press Return
  wait_for_line 20 FROMDIALOG
  ! grep -q CHANGED "$work/text" || fail "Load snapshot did not bring the saved machine back"

  # --- A message box is the window's own: a refused snapshot's box stands for the window ---
  echo "no snapshot" >"$work/refused.qsn"
  menu f n
  retry visible '^Open$' || fail "no open-file dialog for Load snapshot"
  xdotool type --delay 50 "$(windows_path "$work/refused.qsn")"
  press Return
  retry visible '^Quillon$' || fail "no message box for a refused snapshot"
  box=$(xdotool search --onlyvisible --name '^Quillon$' | head -1)
  xprop -id "$box" WM_TRANSIENT_FOR | grep -qi "# $(printf '0x%x' "$window")\$" ||
    fail "the message box has no owner: $(xprop -id "$box" WM_TRANSIENT_FOR)"
  press Return
  retry hidden '^Quillon$' || fail "the message box stays"
  xdotool key alt+F4
  ends_with_status_0 "Alt+F4"

  # --- A bad file given where no console reads stderr (as Explorer starts it): a message box
  # says what is wrong, name and all, and the program ends with status 2 once it is closed ---
  echo notes >"$work/folder/notes$unicode.txt"
  WINEDEBUG=-all,+msgbox wine start /wait quillon.exe "notes$unicode.txt" 2>"$work/msgbox" &
  pid=$!
  retry visible '^Quillon$' || fail "no message box for a bad file at the start"
  grep -qF "L\"'notes\\65e5\\672c.txt' is not a .prg, .p00, .crt, .d64 or .t64 file\"" \
    "$work/msgbox" || fail "the message box does not say: $(grep -a msgbox "$work/msgbox")"
  press Return
  status=0
  wait "$pid" || status=$?
  pid=
  [ "$status" -eq 2 ] || fail "a bad file at the start ends with status $status"
  # With stderr to read, the line goes there, and no box waits.
  status=0
  timeout 60 wine quillon.exe "notes$unicode.txt" 2>"$work/stderr" || status=$?
  [ "$status" -eq 2 ] && [ "$(grep -c '^quillon:' "$work/stderr")" -eq 1 ] ||
    fail "a bad file with stderr read: status $status"

  # --- Closed maximised, the window comes back maximised, and restored it has its size from
  # before. Windows that Wine manages wait for a window manager to maximise them, which this
  # display has none of: Wine places them itself here ---
  unmanaged=1
  wine reg add "$x11_driver_key" /v Managed /d N /f >/dev/null 2>&1
  start
  # The size the settings kept is given once the window shows.
  sleep 2
  normal=$(window_geometry)
  system_menu x
  retry window_is_maximized || fail "Maximize leaves the window at $(window_geometry)"
  xdotool key alt+F4
  ends_with_status_0 "Alt+F4 while maximised"
  grep -qx 'Maximized=1' <(tr -d '\r' <"$(settings_folder)/quillon.ini") || fail "not kept maximised"
  start
  retry window_is_maximized || fail "the window does not come back maximised: $(window_geometry)"
  system_menu r
  retry window_geometry_is "$normal" || fail "restored, the window is $(window_geometry), not $normal"
  xdotool key alt+F4
  ends_with_status_0 "Alt+F4"
  wine reg delete "$x11_driver_key" /v Managed /f >/dev/null 2>&1
  unmanaged=
}

# --- What the desktop gives the window ---

# SHIFT+CLR/HOME clears the screen; the cursor goes to row 0.
clear_screen() {
  xdotool keydown Shift_L
  press Home
  xdotool keyup Shift_L
  wait_for_row "$1" 0 ""
}

# Types $2 and waits for row $3 to read $4; $1 is the border's width.
type_line() {
  xdotool type --delay 12 "$2"
  press Return
  wait_for_row "$1" "$3" "$4"
}

# A formatted D64 with no files as the file $1, its name $2 and ID ED: BAM and directory on
# track 18 (block 357), the name padded with $A0 up to the ID.
empty_disk() {
  head -c 174848 /dev/zero >"$1"
  {
    printf '\x12\x01\x41\x00'
    head -c 140 /dev/zero
    printf '%s' "$2"
    printf '\xa0%.0s' $(seq $((18 - ${#2})))
    printf 'ED\xa02A'
    head -c 89 /dev/zero
    printf '\x00\xff'
  } | dd of="$1" bs=1 seek=91392 conv=notrunc status=none
}

# A program file of one line that prints $1.
print_program() { printf '\x01\x08\x14\x08\x0a\x00\x99\x20\x22%s\x22\x00\x00\x00' "$1"; }

# The screen saver holds that Wine saw the program ask for, as 1 (held off) and 0 (allowed).
screen_saver_holds() {
  sed -n -e 's/.*NtSetThreadExecutionState (0x80000003,.*/1/p' \
    -e 's/.*NtSetThreadExecutionState (0x80000000,.*/0/p' "$work/stderr" | tr -d '\n'
}

desktop() {
  needs wine wineboot wineserver xvfb-run xdotool import convert identify setxkbmap xclip
  [ -x "$xdnd_drop" ] || skip "the drop tool is not built (it needs Xlib's headers)"
  on_virtual_display
  program_alone
  # Wine says when the program holds the screen saver off and lets it go.
  export WINEDEBUG=-all,warn+ntdll
  mkdir "$work/programs"
  print_program FROMFOLDER >"$work/programs/TWO.PRG"
  print_program DROPPED >"$work/DROP$unicode.PRG"
  empty_disk "$work/MENU.D64" "MENU DISK"
  empty_disk "$work/DROP.D64" "DROP DISK"
  # The folder of the programs is remembered from an earlier run.
  mkdir -p "$(settings_folder)"
  printf '[Folders]\r\nPrograms=%s\r\n' "$(windows_path "$work/programs")" \
    >"$(settings_folder)/quillon.ini"

  # --- A French layout's top row types digits; the keys where a US keyboard has ], -, the
  # comma and M type ], -, comma and comma (X key codes 35, 20, 59 and 58: French $ ) ; and ,
  # as their places say, or what they print where that is the C64's). The letters are the ones
  # the layout prints. Wine reads the layout as a program starts ---
  setxkbmap fr
  start
  wait_for_row 20 5 "READY\\."
  clear_screen 20
  press ampersand eacute quotedbl apostrophe parenleft minus egrave underscore ccedilla agrave
  press 35 20 59 58 a z q w
  wait_for_row 20 0 "1234567890\\]-,,AZQW"

  # --- A key held while a dialog takes the focus is let go: DEL, held down, repeats until the
  # dialog opens and no longer once it has closed ---
  clear_screen 20
  line=ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKL
  xdotool type --delay 12 "${line,,}"
  wait_for_row 20 0 "$line"
  xdotool keydown BackSpace
  sleep 0.5
  menu f p
  retry visible '^Open$' || fail "no open-file dialog"
  xdotool keyup BackSpace
  press Escape
  retry hidden '^Open$' || fail "Esc does not close the open-file dialog"
  sleep 1
  read_screen 20
  left=$(sed -n 1p "$work/text")
  sleep 1
  read_screen 20
  [ -n "$left" ] && [ "$left" != "$line" ] && [ "$(sed -n 1p "$work/text")" = "$left" ] ||
    fail "DEL held over the dialog goes on deleting after it: '$left' of '$line'"
  menu f x
  ends_with_status_0 "File > Exit"
  setxkbmap us

  # --- Edit > Paste types a two-line program in ---
  start
  wait_for_row 20 5 "READY\\."
  clear_screen 20
  printf '10 print "pasted"\r\n20 print 6*7\r\n' >"$work/clip.txt"
  xclip -quiet -selection clipboard -i "$work/clip.txt" 2>/dev/null &
  helpers+=($!)
  sleep 0.5
  menu d p
  wait_for_row 20 1 "20 PRINT 6\\*7"
  [ "$(sed -n 1p "$work/text")" = '10 PRINT "PASTED"' ] || fail "the first pasted line is not whole"
  type_line 20 run 4 " 42"
  [ "$(sed -n 4p "$work/text")" = "PASTED" ] || fail "the pasted program does not run"

  # --- Shift+= types the C64's plus, not its graphic cross ---
  clear_screen 20
  type_line 20 'print 1+2' 1 " 3"
  [ "$(sed -n 1p "$work/text")" = "PRINT 1+2" ] || fail "Shift+= does not type +"

  # --- A program dropped on the window runs ---
  clear_screen 20
  "$xdnd_drop" "$window" "$work/DROP$unicode.PRG" || fail "the window does not take a dropped file"
  wait_for_line 20 DROPPED

  # --- File > Attach disk through the real dialog; Detach disk; a disk dropped on the
  # window goes into the drive ---
  clear_screen 20
  menu f d
  retry visible '^Open$' || fail "no open-file dialog for Attach disk"
  xdotool type --delay 20 "$(windows_path "$work/MENU.D64")"
  press Return
  retry hidden '^Open$' || fail "the disk is not taken"
  type_line 20 'load"$",8' 4 "READY\\."
  type_line 20 list 7 '0 "MENU DISK       " ED 2A'
  clear_screen 20
  menu f t
  type_line 20 'load"$",8' 3 "?DEVICE NOT PRESENT  ERROR"
  clear_screen 20
  "$xdnd_drop" "$window" "$work/DROP.D64" || fail "the window does not take a dropped disk"
  type_line 20 'load"$",8' 4 "READY\\."
  type_line 20 list 7 '0 "DROP DISK       " ED 2A'

  # --- The screen saver is held off while the emulation runs, and allowed while paused ---
  menu e p
  menu e p
  [ "$(screen_saver_holds)" = 101 ] ||
    fail "the screen saver holds were '$(screen_saver_holds)', not held, allowed, held"

  # --- Settings kept: border off and NTSC, exit, start again ---
  released_at_exit() {
    [ "$(screen_saver_holds)" = 1010 ] || fail "the screen saver is still held off at the exit"
  }
  check_settings_kept "$(settings_folder)" released_at_exit

  # --- File > Load program opens in the folder remembered: the name alone is enough ---
  menu f p
  retry visible '^Open$' || fail "no open-file dialog"
  xdotool type --delay 20 TWO.PRG
  press Return
  wait_for_line 0 FROMFOLDER
  xdotool key alt+F4
  ends_with_status_0 "Alt+F4"
}

# --- The sound ---

# The server's socket and the client's settings stay in the work folder; no client may start a
# server of its own.

sound() {
  needs wine wineboot wineserver xvfb-run xdotool pulseaudio pactl parecord
  [ -x "$wav_tone" ] || skip "the tone reader is not built"
  on_virtual_display
  program_alone
  private_sound_server
  write_tone_program tone.prg

  # --- The tone at its pitch, through Wine's PulseAudio driver ---
  start_sound_server
  helpers+=("$server")
  start tone.prg
  check_pitch_and_latency 60
  check_sound_off_pause_and_release

  # --- The server stops under the window, which runs on and ends as it should ---
  stop_sound_server
  sleep 2
  kill -0 "$pid" 2>/dev/null || fail "the window ended when the server stopped"
  menu f x
  ends_with_status_0 "File > Exit after the server stopped"
  [ "$(our_lines)" -le 1 ] || fail "more than one line on stderr: $(cat "$work/stderr")"
  echo "the server stopped: $(grep '^quillon:' "$work/stderr" || echo 'nothing on stderr')"

  # --- No server at all ---
  start tone.prg
  sleep 3
  kill -0 "$pid" 2>/dev/null || fail "the window ended without a server"
  menu f x
  ends_with_status_0 "File > Exit without a server"
  [ "$(our_lines)" -le 1 ] || fail "more than one line on stderr without a server"
  echo "without a server: $(grep '^quillon:' "$work/stderr" || echo 'nothing on stderr')"
}

case $case_name in
programs) programs ;;
command-line) command_line ;;
window) window ;;
desktop) desktop ;;
sound) sound ;;
*) fail "unknown case $case_name" ;;
esac
echo "passed: $case_name"
