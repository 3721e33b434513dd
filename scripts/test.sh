#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Fails when a test
# fails. On CI (CI=true) the whole suite also runs once more in a build with
# AddressSanitizer (leak detection on) and UndefinedBehaviorSanitizer.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup-debian.sh"

"$top/scripts/build.sh" "$top/build"
ctest --test-dir "$top/build" --output-on-failure -j"$(nproc)"

if [[ "${CI:-}" == "true" || "${ORVESSA_SANITIZE:-}" == "1" ]]; then
  "$top/scripts/build.sh" "$top/build-sanitize" -DCMAKE_BUILD_TYPE=Debug -DORVESSA_SANITIZE=ON \
    -DORVESSA_BUILD_BENCH=OFF
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS=suppressions="$top/tests/lsan.supp" \
    ctest --test-dir "$top/build-sanitize" --output-on-failure -j"$(nproc)"
fi
