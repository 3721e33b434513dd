#!/usr/bin/env bash
# Redraws the README's pictures from the sample photo on a virtual screen
# (Xvfb): the colour edition's window caught half-way in, and the mounts
# both editions save. Needs xvfb, xdotool, x11-xserver-utils, faketime and
# imagemagick. Usage: make-screenshots.sh [build folder]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build}
out="$top/packaging/screenshots"
work=$(mktemp -d /tmp/orvessa-screenshots-XXXXXX)

# Backing store keeps the part of the window that is still off the screen,
# so a window stopped mid-slide shows whole without repainting; -noreset
# keeps the desktop colour once xsetroot has gone.
Xvfb +bs -noreset -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; }
trap cleanup EXIT
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" XDG_RUNTIME_DIR="$work"
xsetroot -solid '#5b7185'

# Runs one edition on a fresh copy of the sample; a quarter to the hour
# brings the window in from the left.
mount() {
  local program=$1 photo=$2 stop_at=${3:-}
  rm -f "$work/Orvessa ～ $photo.jpg"
  cp "$top/assets/sample/rocket.jpg" "$work/$photo.jpg"
  FAKETIME_DONT_FAKE_MONOTONIC=1 faketime '2026-12-11 10:45:00' "$build/app/$program" "$work/$photo.jpg" &
  local run=$! window pid x box
  window=$(for _ in $(seq 200); do xdotool search --onlyvisible --name '^Orvessa！$' 2>/dev/null && break; sleep 0.02; done | head -1)
  pid=$(xdotool getwindowpid "$window")
  if [[ -n "$stop_at" ]]; then
    for _ in $(seq 1000); do
      x=$(xdotool getwindowgeometry --shell "$window" | sed -n 's/^X=//p')
      ((x >= stop_at)) && break
    done
    kill -STOP "$pid"
    sleep 0.5
    import -window root "$work/sliding-in.png"
    kill -CONT "$pid"
  fi
  # The report appears once the mount is saved; a press that comes before
  # the box takes keys is simply repeated.
  for _ in $(seq 300); do
    [[ -f "$work/Orvessa ～ $photo.jpg" ]] && break
    sleep 0.1
  done
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    for box in $(xdotool search --onlyvisible --name '^Orvessa$' 2>/dev/null); do
      xdotool windowfocus "$box" key Return 2>/dev/null || true
    done
    sleep 0.3
  done
  wait "$run"
}

mount orvessa-color colour -200
mount orvessa gray

# Half the screen's size is plenty for the README.
convert "$work/sliding-in.png" -resize 50% -strip "$out/sliding-in.png"
# A thin line around each mount, as the paper is white.
convert "$work/Orvessa ～ gray.jpg" "$work/Orvessa ～ colour.jpg" -resize 50% \
  -bordercolor '#b0b0b0' -border 1 -bordercolor white -border 6 +append -strip "$out/saved-mounts.png"
ls -l "$out"/*.png
rm -rf "$work"
