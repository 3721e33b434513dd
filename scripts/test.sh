#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Fails when a test
# fails. On CI (CI=true) the whole suite also runs once more in a build with
# AddressSanitizer (leak detection on) and UndefinedBehaviorSanitizer, and
# the fuzz targets run once over their seeds and every input they ever
# tripped on (no new fuzzing: bench/fuzz.sh does that).
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

  CC=clang CXX=clang++ cmake -S "$top" -B "$top/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVESSA_BUILD_FUZZERS=ON -DORVESSA_BUILD_BENCH=OFF >/dev/null
  cmake --build "$top/build-fuzz" --target fuzz_jpeg_intake fuzz_bmp_intake -j"$(nproc)"
  ctest --test-dir "$top/build-fuzz" -L fuzz --output-on-failure
fi
