#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12, as root.
# Only packages that are missing are installed.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-qpa-plugins libjpeg62-turbo-dev
  # run: Japanese glyphs for the boxes, the browser hand-off
  fonts-ipafont-gothic xdg-utils
  # tests and benchmarks (small helper scripts)
  python3
  # tests
  googletest libgtest-dev libjpeg-turbo-progs zlib1g-dev
  xvfb xauth xdotool x11-utils faketime libfaketime
  desktop-file-utils dpkg-dev man-db groff-base libglib2.0-bin
  # the sanitizer build and the fuzzers
  clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
fi
