#!/usr/bin/env bash
# Installs, with apt-get, every Debian package that building, running and testing Tessel needs.
# Safe to run again: it only installs what is missing. Works as root or through sudo.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libsdl2-dev libpulse-dev libpipewire-0.3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # run: Qt's X11/Wayland/offscreen platforms, SVG rendering (the caption font is built in)
  qt6-qpa-plugins qt6-wayland libqt6svg6
  # tests: a virtual X server, pointer automation, pixel reading, desktop-file and icon checks; Xlib and
  # XFixes to read the window's hints and cursor; a Japanese font, which a Japanese locale
  # prefers, so the caption tests meet a desktop face that would take over the captions
  xvfb xauth xdotool x11-utils imagemagick python3-pil desktop-file-utils appstream librsvg2-bin
  libx11-dev libxfixes-dev fonts-ipafont-gothic
  # code style
  clang-format clang-tidy git
)

# Only for the tests (`make test`): the sound servers the sound-server tests start privately, each
# with a null sink. Kept out of `make run`, as a second server could contend with the desktop's own.
if [ "${1:-}" = "--tests" ]; then
  packages+=(pipewire pipewire-pulse wireplumber pulseaudio pulseaudio-utils dbus)
  # The accessibility bus and a screen reader's client library, for the screen-reader test.
  packages+=(at-spi2-core python3-pyatspi)
fi

# Only for remaking the committed assets (tools/make_sounds.sh, make_chart.py, make_font.py).
if [ "${1:-}" = "--tools" ]; then
  packages+=(espeak-ng sox python3-fonttools fonts-kanjistrokeorders fonts-dejavu-core
    fonts-wqy-microhei)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
