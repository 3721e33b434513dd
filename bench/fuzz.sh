#!/usr/bin/env bash
# Fuzzes the picture intake: builds the fuzz targets when needed, then runs
# each in turn, one process at a time, for the given seconds (default 600).
#
#   bench/fuzz.sh [seconds-per-target] [target...]
#
# Targets: fuzz_jpeg_intake, fuzz_bmp_intake (both when none is named).
# The working corpus lives outside the repository and grows from run to run;
# the seed pictures are read in place. Inputs that crash, leak, run out of
# memory or time out are written to the artifacts folder printed at the end;
# a crash ends that target's run and the script goes on with the next one,
# unless FUZZ_KEEP_GOING=1: then libFuzzer runs its fuzzing in one child
# process at a time, keeping every failing input and carrying on.
#
# Environment:
#   ORVESSA_FUZZ_BUILD     build folder (default <repo>/build-fuzz)
#   ORVESSA_FUZZ_SCRATCH   corpora, artifacts and logs (default /tmp)
#   ORVESSA_TESTDATA_DIR   seed pictures (default <repo>/../shared/testdata)
#   FUZZ_KEEP_GOING        1: carry on past crashes, timeouts and running out of memory
#   FUZZ_ARGS              further libFuzzer flags, e.g. "-use_value_profile=1"
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
shift || true
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(fuzz_jpeg_intake fuzz_bmp_intake)

build=${ORVESSA_FUZZ_BUILD:-$top/build-fuzz}
scratch=${ORVESSA_FUZZ_SCRATCH:-/tmp}
testdata=${ORVESSA_TESTDATA_DIR:-$top/../shared/testdata}
corpora=$scratch/orvessa-fuzz-corpus
artifacts=$scratch/orvessa-fuzz-artifacts
logs=$scratch/orvessa-fuzz-logs

if [[ ! -f $build/build.ninja ]]; then
  CC=${CC:-clang} CXX=${CXX:-clang++} cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVESSA_BUILD_FUZZERS=ON -DORVESSA_BUILD_BENCH=OFF "-DORVESSA_TESTDATA_DIR=$testdata" >/dev/null
fi
# One compile at a time: the machine is shared.
cmake --build "$build" --target "${targets[@]}" -j1

# libjpeg may take up to 2 GiB for one picture; past these limits, or slower
# than the timeout, an input is a finding.
limits=(-rss_limit_mb=2560 -malloc_limit_mb=2200 -timeout=10 -report_slow_units=3)
keep_going=()
[[ ${FUZZ_KEEP_GOING:-} == 1 ]] && keep_going=(-fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)

summary=()
for target in "${targets[@]}"; do
  case $target in
    fuzz_jpeg_intake)
      seeds=("$testdata/jpeg" "$testdata/jpeg-damaged")
      extra=("-dict=$top/fuzz/jpeg.dict" -max_len=65536
             "-seed_inputs=$testdata/photos/skimage_rocket.jpg,$testdata/photos/imaging_branches.jpg")
      ;;
    fuzz_bmp_intake)
      seeds=("$testdata/bmpsuite/g" "$testdata/bmpsuite/q" "$testdata/bmpsuite/b" "$testdata/bmpsuite/x")
      extra=("-dict=$top/fuzz/bmp.dict" -max_len=65536)
      ;;
    *)
      echo "unknown target: $target" >&2
      exit 2
      ;;
  esac
  mkdir -p "$corpora/$target" "$artifacts/$target" "$logs"
  log=$logs/$target.log
  # Inputs that once failed make good seeds, but one that still fails would
  # end the run before it starts: they join only when they all pass.
  regressions=$top/fuzz/regressions/$target
  if [[ -d $regressions ]]; then
    if "$build/fuzz/$target" -runs=0 "${limits[@]}" -artifact_prefix="$logs/$target.regressions-" "$regressions" \
      >"$logs/$target.regressions.log" 2>&1; then
      seeds+=("$regressions")
    else
      echo "note: an input in $regressions still fails (see $logs/$target.regressions.log); fuzzing without them"
    fi
  fi
  echo "== $target for ${seconds}s (log: $log)"
  started=$SECONDS
  kept_before=$(find "$artifacts/$target" -type f | wc -l)
  set +e
  # The working corpus comes first: libFuzzer adds what it finds to the first
  # folder only, so the seeds are never written to.
  # shellcheck disable=SC2086 # FUZZ_ARGS is a list of flags
  "$build/fuzz/$target" "$corpora/$target" "${seeds[@]}" "${extra[@]}" "${limits[@]}" \
    -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/$target/" \
    "${keep_going[@]}" ${FUZZ_ARGS:-} >"$log" 2>&1
  status=$?
  set -e
  elapsed=$((SECONDS - started))
  # A single process ends with its stats; the forking one only has its
  # progress lines ("#<runs>: cov: ...").
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  [[ -n $execs ]] || execs=$(grep -oE '^#[0-9]+' "$log" | tail -1 | tr -d '#')
  last=$(grep -E '^#[0-9]+' "$log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [^ ]+' || true)
  found=$(($(find "$artifacts/$target" -type f | wc -l) - kept_before))
  result="ok"
  if [[ $status -ne 0 || $found -gt 0 ]]; then
    result="FAILED (exit $status, $found failing inputs kept): see $log"
  fi
  summary+=("$target: ${execs:-?} runs in ${elapsed:-?}s, ${last:-no stats}; $result")
done

echo
echo "corpora:   $corpora"
echo "artifacts: $artifacts"
for line in "${summary[@]}"; do echo "$line"; done
