# Helpers for the desktop end-to-end tests (GTK and Windows), sourced by them: starting the
# emulator in its window on the X display that xvfb-run provides, typing and picking menu items with xdotool, and
# reading what the window shows from screenshots (picture_text reads the text cells against the
# character ROM). The sourcing script sets $quillon, $picture_text and $work.

title="Quillon | win32 | 3rd Public Beta"
# The KERNAL scans the keyboard sixty times a second: each key is held over several scans.
hold=0.08
pid=

fail() {
  echo "FAIL: $*" >&2
  if [ -f "$work/text" ]; then sed 's/^/  | /' "$work/text" >&2; fi
  exit 1
}

# Starts the program (the command in $launch, the program itself unless the sourcing script
# sets another, such as Wine's) with arguments $@ and waits for its window to show.
start() {
  "${launch[@]:-$quillon}" "$@" 2>"$work/stderr" &
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

# The window's picture of $1 x $2 pixels (below the menu bar) as $work/picture.png. Fails while
# the window has another width, or no room for the menu bar above the picture (it is still
# being resized).
snapshot() {
  import -window "$window" "$work/shot.png"
  read -r shot_width shot_height < <(identify -format '%w %h\n' "$work/shot.png")
  menu_height=$((shot_height - $2))
  [ "$shot_width" -eq "$1" ] && [ "$menu_height" -gt 0 ] || return 1
  convert "$work/shot.png" -crop "${1}x${2}+0+${menu_height}" +repage "$work/picture.png"
}

# The text screen as the window shows it, into $work/text; empty while the window does not
# have the size of a picture with a border $1 pixels wide (20 or 0).
read_screen() {
  local border=$1
  if ! snapshot $((320 + 2 * border)) $((200 + 2 * border)); then
    : >"$work/text"
    return
  fi
  convert "$work/picture.png" -crop "320x200+${border}+${border}" +repage ppm:- |
    "$picture_text" >"$work/text"
}

# Waits until text row $2 (0-24) matches the regular expression $3 whole; $1 is the border
# width.
wait_for_row() {
  for _ in $(seq 60); do
    read_screen "$1"
    sed -n "$(($2 + 1))p" "$work/text" | grep -qx -- "$3" && return 0
    sleep 0.25
  done
  fail "row $2 does not read '$3'"
}

# Waits until the screen has a row that reads $2 whole; $1 is the border's width.
wait_for_line() {
  for _ in $(seq 60); do
    read_screen "$1"
    grep -qx -- "$2" "$work/text" && return 0
    sleep 0.25
  done
  fail "no row reads '$2'"
}

press() {
  for key in "$@"; do
    xdotool keydown "$key"
    sleep $hold
    xdotool keyup "$key"
    sleep $hold
  done
}

# A menu item by the menu's and the item's mnemonic letters, as Alt+letter, letter; then the
# menu has closed and the window has been painted again.
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

window_geometry() { xdotool getwindowgeometry "$window" | tail -1; }
window_geometry_is() { [ "$(window_geometry)" = "$1" ]; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }

# The program's processor use over the next $1 seconds, in percent of one core.
cpu_percent_over() {
  local before
  before=$(cpu_ticks)
  sleep "$1"
  echo $((($(cpu_ticks) - before) * 100 / $(getconf CLK_TCK) / $1))
}

# Waits for the program, which $1 (what ended it) must have ended with status 0.
ends_with_status_0() {
  local status=0
  wait "$pid" || status=$?
  pid=
  [ "$status" -eq 0 ] || fail "$1 ended the program with status $status"
}

# Ends the program by File > Exit, with status 0.
exit_by_menu() {
  menu f x
  ends_with_status_0 Exit
}

# Closes the window, which ends the program with status 0.
close_window() {
  xdotool windowclose "$window"
  ends_with_status_0 "closing the window"
}

# The window has booted: the start banner and READY.; then PRINT 6*7 typed shows 42, and the
# window's picture is the same, pixel for pixel down to the row above the cursor, as $1, the
# screenshot of a headless run that typed the same.
check_boot_and_typing() {
  wait_for_row 20 5 "READY\\."
  [ "$(sed -n 2p "$work/text")" = "    **** COMMODORE 64 BASIC V2 ****" ] || fail "no start banner"
  press p r i n t space 6 KP_Multiply 7 Return
  wait_for_row 20 7 " 42"
  [ "$(sed -n 7p "$work/text")" = "PRINT 6*7" ] || fail "the typed line is not 'PRINT 6*7'"
  convert "$1" -crop 360x100+0+0 +repage "$work/headless_top.png"
  convert "$work/picture.png" -crop 360x100+0+0 +repage "$work/window_top.png"
  compare -metric AE "$work/headless_top.png" "$work/window_top.png" null: 2>/dev/null ||
    fail "the window's picture differs from the headless run's"
}

# Settings > Full screen: the window covers the 1280 x 1024 screen, the picture scaled four times
# to 1280 x 800 in its middle, text row 7 reading $1; Esc brings the window back as it was.
check_full_screen_and_back() {
  local geometry_before
  geometry_before=$(window_geometry)
  menu s f
  retry window_geometry_is "  Geometry: 1280x1024" || fail "full screen does not cover the screen"
  for _ in $(seq 20); do
    import -window root "$work/root.png"
    convert "$work/root.png" -crop 1280x800+0+112 +repage -filter point -resize 320x200 ppm:- |
      "$picture_text" >"$work/text"
    [ "$(sed -n 8p "$work/text")" = "$1" ] && break
    sleep 0.25
  done
  [ "$(sed -n 8p "$work/text")" = "$1" ] || fail "full screen does not show the picture scaled"
  press Escape
  retry window_geometry_is "$geometry_before" || fail "Esc does not bring the window back"
  wait_for_row 20 7 "$1"
}

# Settings > Show border off and NTSC, then File > Exit (after which $2, when given, runs): the
# settings file in folder $1 keeps both, and at the next start the KERNAL finds NTSC at its first
# reset, as the status line shows.
check_settings_kept() {
  menu s b
  menu s p
  exit_by_menu
  [ -z "${2:-}" ] || "$2"
  local ini
  ini=$(tr -d '\r' <"$1/quillon.ini")
  grep -qx 'Standard=NTSC' <<<"$ini" && grep -qx 'Border=0' <<<"$ini" ||
    fail "NTSC and no border not written: $ini"
  start
  wait_for_row 0 5 "READY\\."
  xdotool keydown Scroll_Lock
  wait_for_row 0 24 ' *S:[0-9][0-9] - NTSC [0-9]\{4\}%'
  xdotool keyup Scroll_Lock
}
