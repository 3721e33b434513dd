#!/usr/bin/env bash
# Started without a photo: a plain box says how the program is used, then a
# question offers the information page; "Yes" hands its address, naming the
# program as it is called on disk, to the desktop's URL opener. Either way
# the run ends with exit code 0 and writes nothing.
#
# Usage: no_photo.sh PROGRAM INFO_SITE
# INFO_SITE is the address the build was configured with (no trailing "/").
source "$(dirname "$0")/lib.sh"

program=$1
site=$2

# A stand-in for xdg-open that writes down each address it is given, one
# line per call, in $RECORD.
make_opener() {
  local bin=$1
  mkdir -p "$bin"
  cat >"$bin/xdg-open" <<'OPENER'
#!/bin/sh
printf '%s\n' "$*" >>"$ORVESSA_E2E_RECORD"
OPENER
  chmod 755 "$bin/xdg-open"
}

# The program file to start: the program itself, a copy under another name,
# or a link with another name.
program_as() {
  local how=$1 place
  case $how in
    itself) echo "$program" ;;
    copy:*)
      place="$E2E_SCRATCH/copies/${how#copy:}"
      mkdir -p "$(dirname "$place")"
      cp "$program" "$place"
      echo "$place" ;;
    link:*)
      place="$E2E_SCRATCH/links/${how#link:}"
      mkdir -p "$(dirname "$place")"
      ln -sf "$program" "$place"
      echo "$place" ;;
  esac
}

# Checks a box's caption and that it is centred on the 1024 x 768 screen.
check_box() {
  local id=$1 caption=$2 x y w h
  [[ "$(xdotool getwindowname "$id")" == "$caption" ]] || e2e_fail "box $id is not captioned \"$caption\""
  read -r x y w h < <(e2e_geometry "$id")
  (((x - (1024 - w) / 2) ** 2 <= 1 && (y - (768 - h) / 2) ** 2 <= 1)) ||
    e2e_fail "the box \"$caption\" at ($x, $y), $w x $h, is not centred"
}

# how: itself | copy:NAME | link:NAME; answer: the key for the question;
# opener: yes | none (no URL opener anywhere on PATH); expected: the
# addresses the opener should get, "|"-separated ("" for none).
ask() {
  local how=$1 answer=$2 opener=$3 expected=$4
  local work bin path
  work=$(mktemp -d "$E2E_SCRATCH/work.XXXXXX")
  bin=$(mktemp -d "$E2E_SCRATCH/bin.XXXXXX")
  export ORVESSA_E2E_RECORD="$work.record"
  if [[ $opener == yes ]]; then
    make_opener "$bin"
    path="$bin:$PATH"
  else
    # Nothing that could open an address: the program must not mind.
    path=$bin
  fi
  local executable
  executable=$(program_as "$how")

  e2e_start --cwd "$work" --env PATH="$path" "$executable"
  local instruction question
  instruction=$(e2e_wait_window "Orvessa")
  check_box "$instruction" "Orvessa"
  e2e_press "$instruction" Return
  e2e_wait_window_gone "$instruction" "the instruction box"
  question=$(e2e_wait_window "確認")
  check_box "$question" "確認"
  e2e_press "$question" "$answer"
  e2e_expect_clean_exit "the program, after the question was answered"

  # The opener is started detached and may write after the program ended.
  local recorded="" deadline=$((SECONDS + 5))
  if [[ -n "$expected" ]]; then
    until [[ -s "$ORVESSA_E2E_RECORD" ]] || ((SECONDS >= deadline)); do sleep 0.05; done
  fi
  sleep 0.3
  [[ -f "$ORVESSA_E2E_RECORD" ]] && recorded=$(<"$ORVESSA_E2E_RECORD")
  local -a accepted
  IFS='|' read -r -a accepted <<<"$expected"
  if [[ -z "$expected" ]]; then
    [[ -z "$recorded" ]] || e2e_fail "no address should have been opened, got: $recorded"
  else
    local one found=0
    for one in "${accepted[@]}"; do [[ "$recorded" == "$one" ]] && found=1; done
    ((found)) || e2e_fail "the opener should have got exactly one of: ${accepted[*]}; got: \"$recorded\""
  fi
  echo "opened: ${recorded:-nothing}"
  [[ -z "$(ls -A "$work")" ]] || e2e_fail "the run wrote into its working folder: $(ls -A "$work")"
}

e2e_begin 1024x768

name=$(basename "$program")
page="$site/info.php?pf=w&sn="
# case                              how              answer  opener  addresses expected
e2e_case "$name: Yes opens the page"        ask itself Return yes "$page$name"
e2e_case "$name: Escape answers No"         ask itself Escape yes ""
e2e_case "$name: Yes without any opener"    ask itself Return none ""
e2e_case "$name: a copy named \"my tool\""  ask "copy:my tool" Return yes "${page}my tool|${page}my%20tool"
e2e_case "$name: a copy named \"$name.v2\"" ask "copy:$name.v2" Return yes "$page$name"
# The name is the file's own, not that of a link to it.
e2e_case "$name: started through a link"    ask "link:shortcut" Return yes "$page$name"
e2e_finish
