#!/usr/bin/env bash
# The Debian package as a user gets it: built by cpack from this build tree, unpacked into a
# scratch root, its desktop files checked where they landed, and the unpacked program started
# under Xvfb by the end-to-end scripts (window, a click heard, Close exits 0).
# Usage: package_test.sh CPACK BUILD_DIR AUDIO_MATCH WORKDIR VERSION APP_ID
# Exit status: 0 pass, 1 fail, 77 when the end-to-end part is skipped for lack of its tools.
set -uo pipefail
cpack=$1 build=$2 audio_match=$3 work=$4 version=$5 app_id=$6
e2e=$(dirname "$0")/e2e
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

rm -rf "$work"
mkdir -p "$work" || fail "cannot make $work"
"$cpack" -G DEB -B "$work" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
  fail "cpack failed: $(cat "$work/cpack.log")"
deb=$(echo "$work"/tessel_"$version"_*.deb)
[ -f "$deb" ] || fail "no tessel_${version}_*.deb in $work"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
# Debian's own checks, as the release's lintian has them; every tag is shown, errors and warnings
# fail.
lintian --fail-on error,warning --display-info --display-experimental --pedantic "$deb" \
  >"$work/lintian.log" 2>&1 || fail "lintian: $(cat "$work/lintian.log")"
# Qt comes from dpkg-shlibdeps, the audio libraries the program opens itself from the package's
# own list; without either the package installs and cannot start, or starts silent.
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6svg6 libsdl2-2.0-0 libpulse0; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
[[ $(dpkg-deb -f "$deb" Recommends) == *libpipewire-0.3-0* ]] || fail "Recommends lacks libpipewire"

root=$work/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
for file in usr/share/doc/tessel/copyright usr/share/man/man1/tessel.1.gz; do
  [ -s "$root/$file" ] || fail "not in the package: $file"
done
desktop=$root/usr/share/applications/$app_id.desktop
desktop-file-validate "$desktop" || fail "desktop file does not validate"
# The whole tree: the metainfo and the desktop file it names as its launcher.
appstreamcli validate-tree --no-net --pedantic "$root" || fail "metainfo does not validate in place"
# What the desktop runs and shows must be what the package installed.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
program=$root/usr/bin/${exec_line%% *}
[ -x "$program" ] || fail "Exec=$exec_line is not an installed program"
icon=$root/usr/share/icons/hicolor/scalable/apps/$(sed -n 's/^Icon=//p' "$desktop").svg
rsvg-convert -w 48 -h 48 "$icon" -o "$work/icon.png" || fail "icon $icon does not render"
ink=$(convert "$work/icon.png" -alpha extract -format '%[fx:mean]' info:)
awk -v m="$ink" 'BEGIN { exit !(m > 0.1) }' || fail "icon renders almost empty (coverage $ink)"

# No display and no platform plugin chosen: these must answer before any window is tried.
quiet() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 "$program" "$@"; }
[ "$(quiet --version)" = "tessel $version" ] || fail "--version printed '$(quiet --version)'"
quiet --help | grep -q '^Usage: tessel' || fail "--help printed no usage"
# And without them, one line saying so and a failure status of its own, not a crash.
quiet 2>"$work/no-display.err"
status=$?
{ [ "$status" -ne 0 ] && [ "$status" -lt 124 ] && [ "$(wc -l <"$work/no-display.err")" -eq 1 ] &&
  grep -q '^tessel: cannot open a window' "$work/no-display.err"; } ||
  fail "with no display: status $status, stderr '$(cat "$work/no-display.err")'"

for script in click_kana close_while_busy; do
  bash "$e2e/$script.sh" "$program" "$audio_match" "$work/$script"
  status=$?
  [ "$status" -eq 77 ] && exit 77
  [ "$status" -eq 0 ] || fail "$script failed with the unpacked program"
done
echo "PASS: $deb"
