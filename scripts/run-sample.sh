#!/usr/bin/env bash
# Builds both programs and runs `orvessa` on the bundled sample photo, in a
# folder of its own so that the repository stays clean. Without a display
# the run happens on a virtual one (Xvfb) and its boxes are answered here.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup-debian.sh"
"$top/scripts/build.sh"

work=$(mktemp -d /tmp/orvessa-sample-XXXXXX)
cp "$top/assets/sample/rocket.jpg" "$work/rocket.jpg"
output="$work/Orvessa ～ rocket.jpg"

if [[ -n "${DISPLAY:-}" ]]; then
  echo "Starting orvessa on $work/rocket.jpg; dismiss its box to end it."
  "$top/build/app/orvessa" "$work/rocket.jpg"
else
  echo "No display: running on a virtual one and answering the boxes."
  # Xvfb picks a free display and writes its number to the pipe.
  exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true' EXIT
  read -r -t 20 number <&3
  export DISPLAY=":$number"
  "$top/build/app/orvessa" "$work/rocket.jpg" &
  program=$!
  # The report of the save appears once the window has arrived.
  for _ in $(seq 300); do
    [[ -f "$output" ]] && break
    sleep 0.1
  done
  sleep 0.5
  xdotool key Return
  wait "$program"
fi

if [[ -f "$output" ]]; then
  echo "Saved mount: $output"
else
  echo "No mount was saved (see the program's message)." >&2
  exit 1
fi
