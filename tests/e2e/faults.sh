#!/usr/bin/env bash
# What the program makes of the files it is given, run for real.
#
# Rejected: an error box captioned "Orvessa" comes up before the window has
# slid anywhere, dismissing it ends the program with exit code 0, and the
# folder is left exactly as it was, an earlier mount of the same name
# included, byte for byte.
# Accepted (damaged but readable photos, awkward names): the mount is saved
# next to the photo under its exact name, replacing an earlier one, and
# nothing else is left in the folder.
#
# Usage: faults.sh PROGRAM rejected|accepted
# Needs ORVESSA_TESTDATA_DIR.
source "$(dirname "$0")/lib.sh"

program=$1
group=$2
testdata=${ORVESSA_TESTDATA_DIR:?ORVESSA_TESTDATA_DIR names the test pictures}
rocket="$testdata/photos/skimage_rocket.jpg"

# Puts what the case needs into FOLDER and sets ARGS (the program's
# arguments, relative to FOLDER, where it runs), OUTPUT (the mount's name
# for the photo, relative to FOLDER) and AS_USER.
prepare() {
  local kind=$1 folder=$2
  AS_USER=""
  case $kind in
    empty-jpg)
      : >"$folder/empty.jpg"
      ARGS=(empty.jpg) OUTPUT="Orvessa ～ empty.jpg" ;;
    truncated-jpeg)
      cp "$testdata/jpeg-damaged/skimage_truncated.jpg" "$folder/truncated.jpg"
      ARGS=(truncated.jpg) OUTPUT="Orvessa ～ truncated.jpg" ;;
    bmp-height-lie)
      # A valid 127 x 64 bitmap whose header claims 30000 rows.
      cp "$testdata/bmpsuite/g/rgb24.bmp" "$folder/tall.bmp"
      chmod u+w "$folder/tall.bmp"
      printf '\x30\x75\x00\x00' | dd of="$folder/tall.bmp" bs=1 seek=22 conv=notrunc status=none
      ARGS=(tall.bmp) OUTPUT="Orvessa ～ tall.jpg" ;;
    empty-bmp)
      : >"$folder/empty.bmp"
      ARGS=(empty.bmp) OUTPUT="Orvessa ～ empty.jpg" ;;
    missing)
      ARGS=(missing.jpg) OUTPUT="Orvessa ～ missing.jpg" ;;
    folder)
      mkdir "$folder/x.jpg"
      ARGS=(x.jpg) OUTPUT="Orvessa ～ x.jpg" ;;
    png)
      # A good JPEG under a name that says otherwise: the name decides.
      cp "$rocket" "$folder/photo.png"
      ARGS=(photo.png) OUTPUT="Orvessa ～ photo.jpg" ;;
    two-files)
      # Two photos are taken as one name with a space, which does not exist.
      cp "$rocket" "$folder/a.jpg"
      cp "$rocket" "$folder/b.jpg"
      ARGS=(a.jpg b.jpg) OUTPUT="Orvessa ～ a.jpg" ;;
    unreadable)
      cp "$rocket" "$folder/locked.jpg"
      chmod 000 "$folder/locked.jpg"
      ARGS=(locked.jpg) OUTPUT="Orvessa ～ locked.jpg"
      # Permissions do not stop root: then the program runs as nobody.
      if ((EUID == 0)); then
        AS_USER=nobody
        chmod 755 "$E2E_SCRATCH" "$folder"
      fi ;;
    japanese)
      mkdir "$folder/写真 フォルダ"
      cp "$rocket" "$folder/写真 フォルダ/表示 テスト.jpg"
      ARGS=("写真 フォルダ/表示 テスト.jpg") OUTPUT="写真 フォルダ/Orvessa ～ 表示 テスト.jpg" ;;
    japanese-split)
      # A path with a space that reached the program as two arguments.
      mkdir "$folder/写真 フォルダ"
      cp "$rocket" "$folder/写真 フォルダ/表示 テスト.jpg"
      ARGS=("写真 フォルダ/表示" "テスト.jpg") OUTPUT="写真 フォルダ/Orvessa ～ 表示 テスト.jpg" ;;
    garbage-after-end)
      { cat "$rocket"; for _ in $(seq 200); do printf 'not a picture '; done; } >"$folder/trailing.jpg"
      ARGS=(trailing.jpg) OUTPUT="Orvessa ～ trailing.jpg" ;;
    progressive-truncated)
      cp "$testdata/jpeg-damaged/go_video-001.progressive.truncated.jpeg" "$folder/cut.jpeg"
      ARGS=(cut.jpeg) OUTPUT="Orvessa ～ cut.jpg" ;;
    bmp)
      cp "$testdata/bmpsuite/g/rgb24.bmp" "$folder/small.bmp"
      ARGS=(small.bmp) OUTPUT="Orvessa ～ small.jpg" ;;
    upper-case)
      cp "$rocket" "$folder/PHOTO.JPEG"
      ARGS=(PHOTO.JPEG) OUTPUT="Orvessa ～ PHOTO.jpg" ;;
    *) e2e_fail "unknown case kind $kind" ;;
  esac
}

# Every program binary path must be reachable by the user it runs as.
program_for() {
  local user=$1
  if [[ -z "$user" ]]; then
    echo "$program"
    return
  fi
  local copy
  copy="$E2E_SCRATCH/bin/$(basename "$program")"
  if [[ ! -x "$copy" ]]; then
    mkdir -p "$E2E_SCRATCH/bin"
    cp "$program" "$copy"
    chmod 755 "$E2E_SCRATCH/bin" "$copy"
  fi
  echo "$copy"
}

rejected() {
  local kind=$1 folder
  folder=$(mktemp -d "$E2E_SCRATCH/$kind.XXXXXX")
  prepare "$kind" "$folder"
  # An earlier mount of the photo's name must survive the failed run.
  local earlier="$folder.earlier"
  printf 'an earlier mount of %s\n' "$kind" >"$earlier"
  mkdir -p "$(dirname "$folder/$OUTPUT")"
  cp "$earlier" "$folder/$OUTPUT"
  local before
  before=$(e2e_snapshot "$folder")

  local -a as_user=()
  if [[ -n "$AS_USER" ]]; then
    as_user=(--as-user "$AS_USER")
    # Under a private TMPDIR that user may not reach the folder at all;
    # then this case says so instead of failing for the wrong reason.
    if ! setpriv --reuid="$(id -u "$AS_USER")" --regid="$(id -g "$AS_USER")" --clear-groups -- test -x "$folder"; then
      echo "skipped: $AS_USER cannot reach $folder (set TMPDIR to a folder every user can enter)"
      return 0
    fi
  fi
  e2e_start --cwd "$folder" "${as_user[@]}" "$(program_for "$AS_USER")" "${ARGS[@]}"
  local box main x y w h
  box=$(e2e_wait_window "Orvessa")
  # The error comes before the window has gone anywhere near the middle.
  if main=$(e2e_find_window "Orvessa！"); then
    read -r x y w h < <(e2e_geometry "$main")
    ((x + w <= 0 || x >= 1024 || y + h <= 0 || y >= 768)) ||
      e2e_fail "the window came into view at ($x, $y) although the photo was refused"
  fi
  e2e_press "$box" Return
  e2e_wait_window_gone "$box" "the error box"
  e2e_expect_clean_exit "the program, after the error box was dismissed"

  cmp -s "$earlier" "$folder/$OUTPUT" || e2e_fail "the earlier \"$OUTPUT\" was changed"
  [[ "$(e2e_snapshot "$folder")" == "$before" ]] ||
    e2e_fail "the folder changed: before"$'\n'"$before"$'\n'"after"$'\n'"$(e2e_snapshot "$folder")"
}

accepted() {
  local kind=$1 folder
  shift
  folder=$(mktemp -d "$E2E_SCRATCH/$kind.XXXXXX")
  prepare "$kind" "$folder"
  # An earlier mount of the same name is replaced.
  printf 'an earlier mount\n' >"$folder/$OUTPUT"
  local before
  before=$(e2e_snapshot "$folder" | { grep -vF "./$OUTPUT " || true; })

  e2e_start --cwd "$folder" "$@" "$program" "${ARGS[@]}"
  local box main stop
  main=$(e2e_wait_window "Orvessa！")
  box=$(e2e_wait_window "Orvessa")
  # The report comes when the window has arrived, from whichever edge.
  stop=$(e2e_geometry "$main")
  case $stop in
    "212 84 600 600" | "204 84 600 600" | "212 76 600 600") ;;
    *) e2e_fail "the report came with the window at $stop, not in the middle" ;;
  esac
  e2e_press "$box" Return
  e2e_expect_clean_exit "the program, after the report was dismissed"

  [[ -f "$folder/$OUTPUT" ]] || e2e_fail "no mount \"$OUTPUT\" was saved; the folder holds: $(e2e_snapshot "$folder")"
  local after
  after=$(e2e_snapshot "$folder" | { grep -vF "./$OUTPUT " || true; })
  [[ "$after" == "$before" ]] ||
    e2e_fail "besides the mount, the folder changed: before"$'\n'"$before"$'\n'"after"$'\n'"$after"
  e2e_check_mount_file "$folder/$OUTPUT"
}

e2e_begin 1024x768

case $group in
  rejected)
    for kind in empty-jpg truncated-jpeg bmp-height-lie empty-bmp missing folder png two-files unreadable; do
      e2e_case "$(basename "$program") refuses: $kind" rejected "$kind"
    done ;;
  accepted)
    # kind                 extra options for the run
    while read -r kind options; do
      # shellcheck disable=SC2086 # options are words on purpose
      e2e_case "$(basename "$program") accepts: $kind${options:+ ($options)}" accepted "$kind" $options
    done <<'TABLE'
japanese
japanese               --env LC_ALL=C
japanese-split
garbage-after-end
progressive-truncated
bmp
upper-case
TABLE
    ;;
  *) echo "usage: faults.sh PROGRAM rejected|accepted" >&2; exit 2 ;;
esac

e2e_finish
