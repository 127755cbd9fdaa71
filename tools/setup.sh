#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages Tessel needs, only those missing. Safe to run again;
# works as root or through sudo.
#
#   tools/setup.sh             building and running the program (`make run`)
#   tools/setup.sh --package   and packing it (`make package`)
#   tools/setup.sh --tests     and every test (`make test`, `make bench`), which packs it too
#   tools/setup.sh --tools     and remaking the committed assets
#
# The same names serve Debian 12 (bookworm) and 13 (trixie). The 64-bit time_t renames of Debian 13
# (libqt6core6t64, libpipewire-0.3-0t64, …) touch only libraries that arrive as dependencies of the
# -dev packages named here; SDL 2 is still packaged as itself (libsdl2-dev 2.32) on Debian 13, so
# sdl2-compat, which provides the same name, is not needed. tools/check-release.sh tries both.
set -euo pipefail

# Building and running: the compiler, CMake, Qt Widgets and Svg, the headers of the audio libraries
# (the program opens the libraries themselves at run time), and Qt's Wayland platform.
packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev
  libsdl2-dev libpulse-dev libpipewire-0.3-dev
  qt6-wayland
)

# Packing: CPack's dependency scan (dpkg-shlibdeps) asks `file` which packed files are programs.
package=(
  file
)

# Testing, one group a line. The sound servers come only with the tests, which start them privately
# each with a null sink: `make run` leaves a desktop's own sound server alone.
tests=(
  libgtest-dev libgmock-dev libbenchmark-dev
  # a virtual X server, pointer automation, window and pixel reading
  xvfb xauth xdotool x11-utils imagemagick
  # Xlib and XFixes, to read the window's hints and cursor
  libx11-dev libxfixes-dev
  # a Japanese font, which a Japanese locale prefers: the caption tests meet a desktop face that
  # would take over the captions
  fonts-ipafont-gothic
  # the package's desktop file, metainfo and icon, and Debian's own package checks
  desktop-file-utils appstream librsvg2-bin lintian
  # sound servers, and a session bus for them
  pipewire pipewire-pulse wireplumber pulseaudio pulseaudio-utils dbus
  # the accessibility bus and a screen reader's client library, for the screen-reader test
  at-spi2-core python3-pyatspi
  # code style
  clang-format clang-tidy git
  # the benchmarks' memory probe (`make bench`)
  python3
)

# Remaking the committed assets (tools/make_sounds.sh, make_chart.py, make_font.py).
tools=(
  espeak-ng sox python3-fonttools fonts-kanjistrokeorders fonts-dejavu-core fonts-wqy-microhei
)

for option in "$@"; do
  case "$option" in
    --package) packages+=("${package[@]}") ;;
    --tests) packages+=("${package[@]}" "${tests[@]}") ;;
    --tools) packages+=("${tools[@]}") ;;
    *) echo "usage: tools/setup.sh [--package] [--tests] [--tools]" >&2; exit 2 ;;
  esac
done

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
