#!/usr/bin/env bash
# Closing the window by hand: while it slides, the run ends at once and
# nothing is saved; after a save that failed, the window waits in the middle
# until it is closed, and the run still ends cleanly.
#
# Usage: closing.sh PROGRAM
# Needs ORVESSA_TESTDATA_DIR.
source "$(dirname "$0")/lib.sh"

program=$1
rocket="${ORVESSA_TESTDATA_DIR:?ORVESSA_TESTDATA_DIR names the test pictures}/photos/skimage_rocket.jpg"

closed_while_sliding() {
  local folder
  folder=$(mktemp -d "$E2E_SCRATCH/sliding.XXXXXX")
  cp "$rocket" "$folder/rocket.jpg"
  local before
  before=$(e2e_snapshot "$folder")

  # From the bottom: the longest way in (41 steps).
  e2e_watch_windows
  e2e_start --minute 30 "$program" "$folder/rocket.jpg"
  local main pid x y
  main=$(e2e_wait_window "Orvessa！")
  # Held still while the close is asked for, so that the request surely
  # lands while the window is on its way, however busy the machine is.
  pid=$(e2e_window_pid "$main")
  kill -STOP "$pid"
  read -r x y _ < <(e2e_geometry "$main")
  if ((y <= 76)); then
    kill -CONT "$pid"
    e2e_fail "the window had arrived (at $x, $y) before it could be closed on its way"
  fi
  e2e_close_window "$main"
  kill -CONT "$pid"
  local deadline=$((SECONDS + E2E_WAIT))
  while e2e_program_running && ((SECONDS < deadline)); do
    ! e2e_find_window "Orvessa" >/dev/null || e2e_fail "the run went on to a box after the window was closed"
    sleep 0.05
  done
  e2e_expect_clean_exit "the program, closed while sliding"

  local last
  last=$(e2e_window_track "$main" | tail -n 1)
  [[ "$last" != "212 76 600 600" ]] || e2e_fail "the window slid on to the middle after it was closed at ($x, $y)"
  [[ "$(e2e_snapshot "$folder")" == "$before" ]] ||
    e2e_fail "closing while sliding changed the folder:"$'\n'"$(e2e_snapshot "$folder")"
}

save_fails() {
  local folder
  folder=$(mktemp -d "$E2E_SCRATCH/save-fails.XXXXXX")
  cp "$rocket" "$folder/rocket.jpg"
  # A folder where the mount should go: it cannot be replaced by a file.
  mkdir "$folder/Orvessa ～ rocket.jpg"
  echo "kept" >"$folder/Orvessa ～ rocket.jpg/inside.txt"
  local before
  before=$(e2e_snapshot "$folder")

  e2e_start --minute 45 "$program" "$folder/rocket.jpg"
  local main box place
  main=$(e2e_wait_window "Orvessa！")
  box=$(e2e_wait_window "Orvessa")
  place=$(e2e_geometry "$main")
  [[ "$place" == "212 84 600 600" ]] || e2e_fail "the error came with the window at $place, not in the middle"
  e2e_check_box_belongs_to "$box" "$main"
  e2e_press "$box" Return
  e2e_wait_window_gone "$box" "the error box"

  # The window stays where it stopped, and the program with it.
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    sleep 0.1
    e2e_program_running || e2e_fail "the program ended by itself after the failed save"
    e2e_window_shown "$main" || e2e_fail "the window went away by itself after the failed save"
    place=$(e2e_geometry "$main")
    [[ "$place" == "212 84 600 600" ]] || e2e_fail "after the failed save the window moved to $place"
  done
  if box=$(e2e_find_window "Orvessa"); then
    e2e_fail "another box came up after the error was dismissed"
  fi

  e2e_close_window "$main"
  e2e_expect_clean_exit "the program, closed after the failed save"
  [[ "$(e2e_snapshot "$folder")" == "$before" ]] ||
    e2e_fail "the failed save changed the folder:"$'\n'"$(e2e_snapshot "$folder")"
}

e2e_begin 1024x768
e2e_case "$(basename "$program"): closed while sliding" closed_while_sliding
e2e_case "$(basename "$program"): save fails, then closed" save_fails
e2e_finish
