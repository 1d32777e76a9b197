#!/usr/bin/env bash
# Starts the editor under a virtual X display, waits until its main window is shown, saves a PNG
# of the screen to OUT.png and quits. Usage: scripts/screenshot.sh OUT.png [BUILD_DIR] [FILE.nvx]
set -euo pipefail
out=${1:?usage: scripts/screenshot.sh OUT.png [BUILD_DIR]}
build=${2:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/install-deps.sh" screenshot

display=:$(( 90 + RANDOM % 100 ))
Xvfb "$display" -screen 0 1024x700x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
editor=
cleanup() {
  [ -n "$editor" ] && kill "$editor" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT

export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
case $build in /*) ;; *) build=$here/$build ;; esac
"$build/src/nvxedit" "${@:3}" >/dev/null 2>&1 &
editor=$!
# Shown when the window manager-less display lists a window titled with the program's name.
for _ in $(seq 100); do
  if xwininfo -root -tree 2>/dev/null | grep -q 'NVX编辑器\|"NVX'; then break; fi
  sleep 0.1
done
sleep 1
import -window root "$out"
echo "saved $out"
