# Shared by the end-to-end scripts: a private X server, the programs run on
# it with their boxes answered by key presses, and checks on what they saved.
#
# Source it, then call e2e_begin. Every case of a script runs in a subshell
# through e2e_case, so that one failing case reports itself and the others
# still run; the script fails at the end (e2e_finish) when any case failed.
#
# Works without DISPLAY, without stdin and without a window manager: with no
# manager there are no frames, so a window's outer position is its client
# position and the main window is exactly 600 x 600.

# Each case changes E2E_* variables inside its own subshell on purpose.
# shellcheck disable=SC2030,SC2031

set -euo pipefail
shopt -s inherit_errexit

E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# How long one program run may take before it counts as hung. The sanitizer
# build is several times slower, and the test machine may be busy.
E2E_RUN_LIMIT=${E2E_RUN_LIMIT:-90}
# How long to wait for a window or an exit that should come.
E2E_WAIT=${E2E_WAIT:-45}

e2e_failed_cases=()
e2e_case_count=0

# --- set-up and tear-down

e2e_need() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "e2e: $tool is missing (see scripts/setup-debian.sh)" >&2; exit 1; }
  done
}

e2e_python() {
  # pyenv's shim takes about a second per call; the system one does not.
  if [[ -x /usr/bin/python3 ]]; then /usr/bin/python3 "$@"; else python3 "$@"; fi
}

# Starts the private X server (size WxH, default 1024x768) and a scratch
# folder ($E2E_SCRATCH); both go away when the script ends, however it ends.
e2e_begin() {
  local size=${1:-1024x768}
  e2e_need Xvfb xdotool xwininfo xprop xev djpeg timeout faketime setpriv
  E2E_SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/orvessa-e2e.XXXXXX")
  E2E_XVFB_PID=""
  trap e2e_end EXIT
  trap 'exit 130' INT TERM HUP

  # Nothing from the caller's desktop may leak into the runs: the program
  # must pick the private server, and the desktop's URL handlers and
  # session services stay out of it.
  unset DISPLAY WAYLAND_DISPLAY XAUTHORITY QT_QPA_PLATFORM QT_QPA_PLATFORMTHEME BROWSER DEFAULT_BROWSER \
    XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID SESSION_MANAGER \
    LC_ALL
  export LANG=C.UTF-8
  export XDG_RUNTIME_DIR="$E2E_SCRATCH/runtime"
  # A session bus that is not there: nothing of the caller's session is
  # reached, and none is launched (libdbus would try when the address is
  # unset, and leaks on the way).
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_SCRATCH/no-session-bus"
  mkdir -m 700 "$XDG_RUNTIME_DIR"

  # -displayfd picks a free display number and writes it once the server
  # accepts connections, so parallel tests never collide.
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$E2E_SCRATCH/display" \
    </dev/null >"$E2E_SCRATCH/xvfb.log" 2>&1 &
  E2E_XVFB_PID=$!
  local deadline=$((SECONDS + 30)) number=""
  while ((SECONDS < deadline)); do
    number=$(head -n 1 "$E2E_SCRATCH/display" 2>/dev/null || true)
    [[ "$number" =~ ^[0-9]+$ ]] && break
    kill -0 "$E2E_XVFB_PID" 2>/dev/null || break
    sleep 0.05
  done
  if ! [[ "$number" =~ ^[0-9]+$ ]]; then
    echo "e2e: Xvfb did not start:" >&2
    cat "$E2E_SCRATCH/xvfb.log" >&2
    exit 1
  fi
  export DISPLAY=":$number"
  xwininfo -root >/dev/null || { echo "e2e: cannot reach Xvfb on $DISPLAY" >&2; exit 1; }
}

e2e_end() {
  local status=$?
  if [[ -n "${E2E_XVFB_PID:-}" ]]; then
    kill "$E2E_XVFB_PID" 2>/dev/null || true
    wait "$E2E_XVFB_PID" 2>/dev/null || true
  fi
  if [[ -n "${E2E_SCRATCH:-}" && -d "$E2E_SCRATCH" ]]; then
    chmod -R u+rwX "$E2E_SCRATCH" 2>/dev/null || true
    rm -rf "$E2E_SCRATCH"
  fi
  exit "$status"
}

# e2e_case NAME FUNCTION ARGS...: runs one case in a subshell and records
# whether it failed.
e2e_case() {
  local name=$1
  shift
  # E2E_ONLY (a regular expression) picks cases by name, for debugging.
  [[ -z "${E2E_ONLY:-}" || "$name" =~ $E2E_ONLY ]] || return 0
  ((e2e_case_count += 1))
  echo "--- $name"
  # Not run as a condition: inside one, bash would ignore errexit.
  local status=0
  set +e
  (
    set -e
    E2E_CASE=$name
    E2E_PROGRAM_GROUP="" E2E_WATCH_PID=""
    trap e2e_case_end EXIT
    "$@"
  ) </dev/null
  status=$?
  set -e
  if ((status == 0)); then
    echo "ok: $name"
  else
    echo "FAILED: $name" >&2
    e2e_failed_cases+=("$name")
  fi
}

e2e_case_end() {
  local status=$?
  if [[ -n "${E2E_WATCH_PID:-}" ]]; then
    kill "$E2E_WATCH_PID" 2>/dev/null || true
    wait "$E2E_WATCH_PID" 2>/dev/null || true
  fi
  # Whatever the case left running goes with it (stopped ones included).
  if [[ -n "${E2E_PROGRAM_GROUP:-}" ]] && kill -0 "$E2E_PROGRAM_GROUP" 2>/dev/null; then
    kill -CONT -- "-$E2E_PROGRAM_GROUP" 2>/dev/null || true
    kill -KILL -- "-$E2E_PROGRAM_GROUP" 2>/dev/null || true
    wait "$E2E_PROGRAM_GROUP" 2>/dev/null || true
  fi
  exit "$status"
}

e2e_finish() {
  if ((${#e2e_failed_cases[@]})); then
    echo "${#e2e_failed_cases[@]} of $e2e_case_count cases failed:" >&2
    printf '  %s\n' "${e2e_failed_cases[@]}" >&2
    exit 1
  fi
  echo "all $e2e_case_count cases passed"
}

# Ends the current case as failed, with what the program printed.
e2e_fail() {
  echo "FAIL [$E2E_CASE]: $*" >&2
  if [[ -n "${E2E_PROGRAM_LOG:-}" && -s "$E2E_PROGRAM_LOG" ]]; then
    echo "  program output (last lines):" >&2
    tail -n 40 "$E2E_PROGRAM_LOG" | sed 's/^/    /' >&2
  fi
  if [[ -n "${DISPLAY:-}" ]]; then
    echo "  windows on the screen:" >&2
    xwininfo -root -children 2>/dev/null | grep -E '^ +0x' | sed 's/^ */    /' >&2 || true
  fi
  exit 1
}

# --- running a program

# e2e_start [options] PROGRAM ARGS...: starts the program in the background
# in its own process group and returns at once.
#   --minute MM   the local clock reads HH:MM:00 when it starts (libfaketime;
#                 only the wall clock is faked, so the program's timers run)
#   --tz ZONE     TZ for the run (default: a half-hour zone, so that a
#                 program reading UTC instead of local time would be caught)
#   --cwd DIR     working folder (default: the scratch folder)
#   --as-user U   run as this user (only when running as root)
#   --env VAR=VAL extra environment (repeatable)
e2e_start() {
  local minute="" tz="IST-5:30" cwd="$E2E_SCRATCH" user=""
  local -a extra_env=()
  while (($#)); do
    case $1 in
      --minute) minute=$2; shift 2 ;;
      --tz) tz=$2; shift 2 ;;
      --cwd) cwd=$2; shift 2 ;;
      --as-user) user=$2; shift 2 ;;
      --env) extra_env+=("$2"); shift 2 ;;
      *) break ;;
    esac
  done
  local -a command=(env)
  # As another user, that user's own home and runtime folder stand in for ours.
  if [[ -n "$user" ]]; then
    command=(setpriv --reuid="$(id -u "$user")" --regid="$(id -g "$user")" --clear-groups --
      env -u XDG_RUNTIME_DIR HOME=/nonexistent)
  fi
  command+=(TZ="$tz" "${extra_env[@]}")
  if [[ -n "$minute" ]]; then
    # libfaketime is preloaded; ASan (when the build has it) must then be
    # told not to insist on being first.
    command+=(FAKETIME_DONT_FAKE_MONOTONIC=1 "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
      faketime "2024-05-01 10:$minute:00")
  fi
  command+=("$@")
  E2E_PROGRAM_LOG=$(mktemp "$E2E_SCRATCH/program-log.XXXXXX")
  chmod 666 "$E2E_PROGRAM_LOG"
  # timeout runs in a process group of its own; the group id is its pid.
  (cd "$cwd" && exec timeout -k 5 "$E2E_RUN_LIMIT" "${command[@]}" </dev/null >"$E2E_PROGRAM_LOG" 2>&1) &
  E2E_PROGRAM_GROUP=$!
}

# Waits for the program to end; fails unless it ends with exit code 0.
e2e_expect_clean_exit() {
  local what=${1:-"the program"}
  local deadline=$((SECONDS + E2E_WAIT))
  while kill -0 "$E2E_PROGRAM_GROUP" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.05; done
  if kill -0 "$E2E_PROGRAM_GROUP" 2>/dev/null; then
    e2e_fail "$what did not end within ${E2E_WAIT}s"
  fi
  local status=0
  wait "$E2E_PROGRAM_GROUP" || status=$?
  E2E_PROGRAM_GROUP=""
  ((status == 124)) && e2e_fail "$what hung and was killed after ${E2E_RUN_LIMIT}s"
  ((status == 0)) || e2e_fail "$what ended with exit code $status instead of 0"
}

e2e_program_running() { [[ -n "${E2E_PROGRAM_GROUP:-}" ]] && kill -0 "$E2E_PROGRAM_GROUP" 2>/dev/null; }

# --- windows

# Prints the id of a shown window whose name is exactly NAME (names are
# compared whole: the box "Orvessa" is not the window "Orvessa！").
e2e_find_window() {
  local name=$1 id
  for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
    if [[ "$(xdotool getwindowname "$id" 2>/dev/null)" == "$name" ]]; then
      echo "$id"
      return 0
    fi
  done
  return 1
}

# Waits until a window named exactly NAME is shown and prints its id.
e2e_wait_window() {
  local name=$1 deadline=$((SECONDS + E2E_WAIT)) id
  while ((SECONDS < deadline)); do
    if id=$(e2e_find_window "$name"); then
      echo "$id"
      return 0
    fi
    e2e_program_running || e2e_fail "the program ended before a window named \"$name\" was shown"
    sleep 0.05
  done
  e2e_fail "no window named \"$name\" was shown within ${E2E_WAIT}s"
}

# Waits until the window is no longer shown.
e2e_wait_window_gone() {
  local id=$1 what=$2 deadline=$((SECONDS + E2E_WAIT))
  while ((SECONDS < deadline)); do
    e2e_window_shown "$id" || return 0
    sleep 0.05
  done
  e2e_fail "$what was still shown after ${E2E_WAIT}s"
}

e2e_window_shown() {
  xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'
}

# Prints "LEFT TOP WIDTH HEIGHT" of the window on the screen.
e2e_geometry() {
  xwininfo -id "$1" 2>/dev/null | awk '
    /Absolute upper-left X:/ { x = $NF }
    /Absolute upper-left Y:/ { y = $NF }
    /^ *Width:/ { w = $NF }
    /^ *Height:/ { h = $NF }
    END { if (w == "") exit 1; print x, y, w, h }'
}

# Presses KEY in the window: it gets the keyboard focus first, then the key
# goes through the X server as a typed one would.
e2e_press() {
  local id=$1 key=$2
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  xdotool key "$key"
}

# Fails unless the box is a modal one that belongs to the window, so that a
# window manager keeps it above that stay-on-top window.
e2e_check_box_belongs_to() {
  local box=$1 owner=$2 properties
  properties=$(xprop -id "$box" WM_TRANSIENT_FOR _NET_WM_STATE)
  grep -qi "window id # $(printf '0x%x' "$owner")\$" <<<"$properties" ||
    e2e_fail "the box does not belong to the window $(printf '0x%x' "$owner"): $properties"
  grep -q '_NET_WM_STATE_MODAL' <<<"$properties" || e2e_fail "the box is not modal: $properties"
}

# Asks the window to close, as a window manager's close box does.
e2e_close_window() {
  e2e_python "$E2E_DIR/close_window.py" "$1" || e2e_fail "could not ask window $1 to close"
}

# The process behind the window (as the window says).
e2e_window_pid() {
  xdotool getwindowpid "$1" 2>/dev/null || e2e_fail "window $1 does not name its process"
}

# Records from now on every top-level window's creation and every change of
# its place or size (the X server reports each one), so that a slide can be
# followed step by step without racing it.
e2e_watch_windows() {
  E2E_WATCH_LOG=$(mktemp "$E2E_SCRATCH/windows.XXXXXX")
  xev -root -event substructure -event property >"$E2E_WATCH_LOG" 2>&1 &
  E2E_WATCH_PID=$!
  e2e_watch_sync
}

# Returns once the watcher has written down everything that happened so
# far: the X server reports in order, so once a root property change made
# now is in the log, so is all before it.
e2e_watch_sync() {
  local marker="_ORVESSA_E2E_MARK_$RANDOM$RANDOM" deadline=$((SECONDS + E2E_WAIT))
  until grep -q "($marker)" "$E2E_WATCH_LOG"; do
    ((SECONDS < deadline)) || e2e_fail "the window watcher (xev) fell silent"
    xprop -root -f "$marker" 8s -set "$marker" 1
    sleep 0.05
  done
}

# Prints "LEFT TOP WIDTH HEIGHT" for each place the window had, from its
# creation on, in order.
e2e_window_track() {
  local hex
  hex=$(printf '0x%x' "$1")
  e2e_watch_sync
  awk -v window="$hex" '
    /^(CreateNotify|ConfigureNotify) event/ { pending = 1; next }
    pending {
      pending = 0
      if (index($0, "window " window ", (") && match($0, /[(]-?[0-9]+,-?[0-9]+[)], width [0-9]+, height [0-9]+/)) {
        place = substr($0, RSTART, RLENGTH)
        gsub(/[(),]|width|height/, " ", place)
        $0 = place
        print $1, $2, $3, $4
      }
    }' "$E2E_WATCH_LOG"
}

# --- files and pictures

# Lists a folder's entries (names with size and mode), to compare before and
# after a run.
e2e_snapshot() {
  (cd "$1" && find . -mindepth 1 -printf '%p %s %m\n' | LC_ALL=C sort)
}

# Decodes the JPEG into a PPM file; fails on any decoder complaint.
e2e_decode() {
  local jpeg=$1 ppm=$2 errors
  [[ "$(od -An -tx1 -N3 "$jpeg" | tr -d ' \n')" == "ffd8ff" ]] || e2e_fail "$jpeg does not start like a JPEG"
  errors=$(djpeg -pnm -outfile "$ppm" "$jpeg" 2>&1) || e2e_fail "$jpeg does not decode cleanly: $errors"
  [[ -z "$errors" ]] || e2e_fail "$jpeg decodes with complaints: $errors"
}

# e2e_pixels PPM X Y [X Y ...]: sets PPM_WIDTH, PPM_HEIGHT and PIXELS, one
# "R G B" per point, in order.
e2e_pixels() {
  local ppm=$1 output
  shift
  output=$(e2e_python "$E2E_DIR/ppm_pixels.py" "$ppm" "$@") || e2e_fail "cannot read the pixels of $ppm"
  mapfile -t PIXELS <<<"$output"
  read -r PPM_WIDTH PPM_HEIGHT <<<"${PIXELS[0]}"
  PIXELS=("${PIXELS[@]:1}")
}

# Luma as the artwork defines "dark": below 128.
e2e_luma() { echo $(((299 * $1 + 587 * $2 + 114 * $3) / 1000)); }

# Checks what every saved mount is: a JPEG that decodes cleanly to 600 x 600
# with white paper in its corners. Leaves the decoded picture in PPM.
e2e_check_mount_file() {
  local jpeg=$1 i r g b
  local -a corners=(3 3 596 3 3 596 596 596)
  PPM=$(mktemp "$E2E_SCRATCH/mount.XXXXXX")
  e2e_decode "$jpeg" "$PPM"
  e2e_pixels "$PPM" "${corners[@]}"
  [[ "$PPM_WIDTH x $PPM_HEIGHT" == "600 x 600" ]] || e2e_fail "the mount is $PPM_WIDTH x $PPM_HEIGHT, not 600 x 600"
  for i in 0 1 2 3; do
    read -r r g b <<<"${PIXELS[i]}"
    ((r >= 235 && g >= 235 && b >= 235)) ||
      e2e_fail "corner (${corners[2 * i]}, ${corners[2 * i + 1]}) of the mount is ($r,$g,$b), not white paper"
  done
}
