#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quillon need, when they are missing.
set -euo pipefail

# The desktop window needs GTK 3 (and libXss to hold the X screen saver off) and plays its sound
# through PulseAudio (libpulse-dev); its end-to-end tests run it on a virtual X display
# (xvfb-run, which needs xauth), type with xdotool, switch keyboard layouts with setxkbmap, fill
# the clipboard and read a dialog's text with xclip, take screenshots with ImageMagick, read a
# window's owner with xprop (x11-utils), and listen through a PulseAudio server of their own
# (pulseaudio, and parecord and pactl from pulseaudio-utils).
packages=(cmake make g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev clang
          libclang-rt-14-dev libgtk-3-dev libxss-dev libpulse-dev xvfb xauth xdotool
          x11-xkb-utils xclip x11-utils imagemagick pulseaudio pulseaudio-utils)

# With "windows": the mingw-w64 cross compilers for make windows. With "wine": Wine to run the
# Windows programs in the tests, its 32-bit half from the i386 architecture, and file(1).
for group in "$@"; do
  case $group in
    windows) packages+=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix) ;;
    wine) packages+=(wine wine64 wine32:i386 file) ;;
    *) echo "install-deps.sh: unknown group '$group'" >&2 && exit 2 ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}" >&2
# dpkg must know a foreign architecture before apt-get update fetches its package lists.
architecture=true
[[ " ${missing[*]}" == *:i386* ]] && architecture="dpkg --add-architecture i386"
if [ "$(id -u)" -eq 0 ]; then
  $architecture && apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" && exit 0
elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
  sudo $architecture && sudo apt-get update -qq &&
    sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" && exit 0
fi
echo "Could not install the packages. Run as root:" >&2
[ "$architecture" = true ] || echo "  $architecture" >&2
echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
exit 1
