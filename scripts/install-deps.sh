#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quillon need, when they are missing.
set -euo pipefail

# The desktop window needs GTK 3 and plays its sound through PulseAudio (libpulse-dev); its
# end-to-end tests run it on a virtual X display (xvfb-run, which needs xauth), type with
# xdotool, take screenshots with ImageMagick, and listen through a PulseAudio server of their
# own (pulseaudio, and parecord and pactl from pulseaudio-utils).
packages=(cmake make g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libpng-dev clang
          libclang-rt-14-dev libgtk-3-dev libpulse-dev xvfb xauth xdotool imagemagick pulseaudio
          pulseaudio-utils)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}" >&2
if [ "$(id -u)" -eq 0 ]; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" && exit 0
elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
  sudo apt-get update -qq && sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" && exit 0
fi
echo "Could not install the packages. Run as root:" >&2
echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
exit 1
