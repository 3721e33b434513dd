#!/usr/bin/env bash
# Whole runs on real photos: the window slides in from the edge the local
# minute chooses, stops in the middle of the screen, saves exactly what it
# shows next to the photo, reports, and ends when the report is dismissed.
#
# Usage: arrival.sh PROGRAM gray|colour
# Needs ORVESSA_TESTDATA_DIR.
source "$(dirname "$0")/lib.sh"

program=$1
edition=$2
photos="${ORVESSA_TESTDATA_DIR:?ORVESSA_TESTDATA_DIR names the test pictures}/photos"

# 1024 x 768 screen, 600 x 600 window: the middle is (212, 84).
#   edge    where it waits   where it stops (32 px steps; the first step
#                            that reaches or passes the middle)
declare -A parked=([top]="212 -620" [right]="1644 84" [bottom]="212 1388" [left]="-620 84")
declare -A arrived=([top]="212 84" [right]="204 84" [bottom]="212 76" [left]="212 84")

# Where each arrangement lays the photo: left top width height.
landscape_place="24 110 560 376"
portrait_place="112 24 376 560"

# The photo must lie in its place, unmirrored and unshifted, in the
# edition's colours: points along the inside of its edges and across it are
# compared with the source pixels a stretch to that place picks. A JPEG at
# quality 80 stays within a few levels on average; a photo a few pixels out
# of place, or the wrong way round, is off by well over ten.
check_photo_in_place() {
  local mount_ppm=$1 source_ppm=$2 place=$3
  local left top width height source_width source_height
  read -r left top width height <<<"$place"
  e2e_pixels "$source_ppm" 0 0
  source_width=$PPM_WIDTH source_height=$PPM_HEIGHT
  local -a at=()
  local i j k x y
  for ((k = 0; k <= 12; k++)); do
    x=$((left + 3 + k * (width - 7) / 12))
    y=$((top + 3 + k * (height - 7) / 12))
    at+=("$((left + 3))" "$y" "$((left + width - 4))" "$y" "$x" "$((top + 3))" "$x" "$((top + height - 4))")
  done
  for i in 0 1 2 3 4 5 6; do
    for j in 0 1 2 3 4 5 6; do
      at+=("$((left + 24 + i * (width - 48) / 6))" "$((top + 24 + j * (height - 48) / 6))")
    done
  done
  local -a from=()
  for ((i = 0; i < ${#at[@]}; i += 2)); do
    from+=("$(((at[i] - left) * source_width / width))" "$(((at[i + 1] - top) * source_height / height))")
  done
  e2e_pixels "$source_ppm" "${from[@]}"
  local -a expected=("${PIXELS[@]}")
  e2e_pixels "$mount_ppm" "${at[@]}"
  local r g b er eg eb gray high low total=0 max_spread=0 points=${#PIXELS[@]}
  for ((i = 0; i < points; i++)); do
    read -r r g b <<<"${PIXELS[i]}"
    read -r er eg eb <<<"${expected[i]}"
    if [[ $edition == gray ]]; then
      gray=$(((30 * er + 59 * eg + 11 * eb) / 100))
      er=$gray eg=$gray eb=$gray
    fi
    total=$((total + (r > er ? r - er : er - r) + (g > eg ? g - eg : eg - g) + (b > eb ? b - eb : eb - b)))
    high=$((r > g ? r : g)) low=$((r < g ? r : g))
    high=$((b > high ? b : high)) low=$((b < low ? b : low))
    ((high - low > max_spread)) && max_spread=$((high - low))
  done
  local mean=$((total / (points * 3)))
  echo "photo: mean difference $mean per channel over $points points, largest channel spread $max_spread"
  ((mean <= 10)) || e2e_fail "the photo is not where the arrangement puts it (mean difference $mean from the source)"
  if [[ $edition == gray ]]; then
    ((max_spread <= 8)) || e2e_fail "the photo is not gray (channels differ by up to $max_spread)"
  else
    ((max_spread >= 40)) || e2e_fail "the photo lost its colours (channels differ by at most $max_spread)"
  fi
}

# Black ink around the photo and white paper beyond, on the arrangement's
# own frame: the landscape frame has paper above the photo where the
# portrait one has photo.
check_frame() {
  local mount_ppm=$1 orientation=$2 i r g b
  local -a ink paper
  if [[ $orientation == landscape ]]; then
    ink=(19 300 300 106) paper=(300 50)
  else
    ink=(108 300 300 19) paper=(50 300)
  fi
  e2e_pixels "$mount_ppm" "${ink[@]}" "${paper[@]}"
  for i in 0 1; do
    read -r r g b <<<"${PIXELS[i]}"
    (($(e2e_luma "$r" "$g" "$b") < 64)) ||
      e2e_fail "(${ink[2 * i]}, ${ink[2 * i + 1]}) should be the $orientation frame's ink, is ($r,$g,$b)"
  done
  read -r r g b <<<"${PIXELS[2]}"
  ((r >= 235 && g >= 235 && b >= 235)) ||
    e2e_fail "(${paper[*]}) should be the $orientation frame's paper, is ($r,$g,$b)"
}

# Fails unless the window is the stay-on-top tool window of fixed size.
check_window_kind() {
  local id=$1 properties
  properties=$(xprop -id "$id" _NET_WM_STATE _NET_WM_WINDOW_TYPE WM_NORMAL_HINTS)
  grep -q '_NET_WM_STATE_ABOVE' <<<"$properties" || e2e_fail "the window is not kept on top: $properties"
  grep -q '_NET_WM_WINDOW_TYPE_UTILITY' <<<"$properties" || e2e_fail "the window is not a tool window: $properties"
  if ! grep -q 'minimum size: 600 by 600' <<<"$properties" || ! grep -q 'maximum size: 600 by 600' <<<"$properties"; then
    e2e_fail "the window may be resized: $properties"
  fi
}

whole_run() {
  local minute=$1 edge=$2 photo=$3 name=$4
  local folder="$E2E_SCRATCH/$edge-$minute"
  mkdir "$folder"
  cp "$photos/$photo" "$folder/$name"
  chmod u+w "$folder/$name"

  e2e_watch_windows
  e2e_start --minute "$minute" "$program" "$folder/$name"
  local main box
  main=$(e2e_wait_window "Orvessa！")
  check_window_kind "$main"
  box=$(e2e_wait_window "Orvessa")

  local park_x park_y end_x end_y stop
  read -r park_x park_y <<<"${parked[$edge]}"
  read -r end_x end_y <<<"${arrived[$edge]}"
  stop=$(e2e_geometry "$main")
  [[ "$stop" == "$end_x $end_y 600 600" ]] ||
    e2e_fail "from the $edge the window should stop at ($end_x, $end_y) as 600 x 600; it is at $stop"

  # From its parking place to the middle in 32 px steps along one line,
  # every step shown.
  local places
  places=$(e2e_window_track "$main" | uniq)
  local -a track
  mapfile -t track <<<"$places"
  local summary="${track[0]:-nothing} ... ${track[${#track[@]} - 1]:-nothing} (${#track[@]} places)"
  [[ "${track[0]:-}" == "$park_x $park_y 600 600" ]] ||
    e2e_fail "from the $edge the window should wait at ($park_x, $park_y) as 600 x 600; its places: $summary"
  [[ "${track[${#track[@]} - 1]}" == "$stop" ]] || e2e_fail "the window moved on after the report: $summary"
  local dx=0 dy=0 i x y w h px py
  case $edge in
    top) dy=32 ;; bottom) dy=-32 ;; left) dx=32 ;; right) dx=-32 ;;
  esac
  for ((i = 1; i < ${#track[@]}; i++)); do
    read -r px py w h <<<"${track[i - 1]}"
    read -r x y w h <<<"${track[i]}"
    ((x == px + dx && y == py + dy && w == 600 && h == 600)) ||
      e2e_fail "sliding from the $edge, the window went from ($px, $py) to ${track[i]}"
  done
  echo "slid from the $edge: $summary"

  # The report is centred on the screen and belongs to the window.
  e2e_check_box_belongs_to "$box" "$main"
  local bx by bw bh
  read -r bx by bw bh < <(e2e_geometry "$box")
  (((bx - (1024 - bw) / 2) ** 2 <= 1 && (by - (768 - bh) / 2) ** 2 <= 1)) ||
    e2e_fail "the report box at ($bx, $by) size $bw x $bh is not centred"

  e2e_press "$box" Return
  e2e_expect_clean_exit "the program, after the report was dismissed"

  local output="$folder/Orvessa ～ ${name%.*}.jpg"
  [[ -f "$output" ]] || e2e_fail "no mount was saved as \"$output\"; the folder holds: $(ls -A "$folder")"
  local entries
  entries=$(find "$folder" -mindepth 1 -printf '%f\n' | LC_ALL=C sort | tr '\n' '|')
  [[ "$entries" == "$(printf '%s\n' "$name" "$(basename "$output")" | LC_ALL=C sort | tr '\n' '|')" ]] ||
    e2e_fail "the folder should hold the photo and the mount only, holds: $entries"

  e2e_check_mount_file "$output"
  local mount_ppm=$PPM source_ppm="$E2E_SCRATCH/$photo.ppm"
  [[ -f "$source_ppm" ]] || e2e_decode "$photos/$photo" "$source_ppm"
  e2e_pixels "$source_ppm" 0 0
  local orientation=portrait place=$portrait_place
  ((PPM_WIDTH > PPM_HEIGHT)) && orientation=landscape place=$landscape_place
  check_frame "$mount_ppm" "$orientation"
  check_photo_in_place "$mount_ppm" "$source_ppm" "$place"
}

e2e_begin 1024x768

# The clock runs in a half-hour zone (see e2e_start), so in every row the
# UTC minute lies in another edge's range than the local one. ":08" is no
# octal number; ":53" is the first minute back on the top edge.
# local minute, edge, photo (landscape 640 x 427, portrait 2056 x 3088), its name in the run
while read -r minute edge photo name; do
  e2e_case "$(basename "$program") at :$minute from the $edge, $name" whole_run "$minute" "$edge" "$photo" "$name"
done <<'TABLE'
00 top    skimage_rocket.jpg               rocket.jpg
08 right  skimage_rocket.jpg               rocket.jpg
30 bottom skimage_rocket.jpg               rocket.jpg
45 left   skimage_rocket.jpg               rocket.jpg
53 top    friends_by_Aitzol_Berasategi.jpg friends.jpg
TABLE

e2e_finish
