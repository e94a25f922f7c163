#!/usr/bin/env bash
# Runs the test suite of an already configured and built tree, in three stages
# (the builds of stages 2 and 3 are made, at the lowest priority, while stage 1
# runs):
#   1. CTest in the build folder: every test, end-to-end included (those
#      labelled e2e-asan only when stage 2 is skipped);
#   2. the unit, integration and gui tests again, and the e2e-asan end-to-end
#      tests, in a second build folder built with AddressSanitizer and
#      UndefinedBehaviorSanitizer (skipped with TAVELIN_SKIP_SANITIZE=1);
#   3. a short run of each libFuzzer target from its seed corpus, when clang
#      with libFuzzer is installed (skipped with TAVELIN_SKIP_FUZZ=1).
# Ends with the summary of each stage and "N passed, N failed" over all of
# them; exits non-zero when anything failed.
set -uo pipefail

build_dir=$(realpath "${1:-build}")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
asan_dir=${TAVELIN_ASAN_DIR:-$root/build-asan}
fuzz_dir=${TAVELIN_FUZZ_DIR:-$root/build-fuzz}
fuzz_seconds=${TAVELIN_FUZZ_SECONDS:-30}
jobs=$(nproc)
logs=$(mktemp -d)

passed=0
failed=0
summary=()

# Counts the tests of one CTest run from its summary line and keeps that line.
# A run without a summary line (it could not start) counts as one failure.
tally_ctest() {
  local stage=$1 log=$2 status=$3 line total bad
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n1)
  if [[ -z $line ]]; then
    summary+=("$stage: no test summary (ctest exit status $status)")
    failed=$((failed + 1))
    return
  fi
  bad=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  summary+=("$stage: $line")
  if ((status != 0 && bad == 0)); then # e.g. a test that timed out in discovery
    summary+=("$stage: ctest exit status $status")
    failed=$((failed + 1))
  fi
}

stage_failure() {
  summary+=("$1")
  failed=$((failed + 1))
}

main_filter=()
[[ ${TAVELIN_SKIP_SANITIZE:-0} == 1 ]] || main_filter=(-LE e2e-asan) # they run in the sanitizer stage

fuzzer_runtime=$(ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a 2>/dev/null | head -n1)
fuzz_targets=$(cd "$root/tests/fuzz" && ls *_fuzz.cpp | sed 's/\.cpp$//')
fuzz_wanted=0
[[ ${TAVELIN_SKIP_FUZZ:-0} == 1 ]] || ! command -v clang++ >/dev/null || [[ -z $fuzzer_runtime ]] || fuzz_wanted=1

build_sanitized() {
  cmake -S "$root" -B "$asan_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVELIN_SANITIZE=ON >/dev/null &&
    cmake --build "$asan_dir" -j "$jobs" >"$logs/asan-build.log" 2>&1
}

build_fuzzers() {
  CC=clang CXX=clang++ cmake -S "$root" -B "$fuzz_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVELIN_FUZZ=ON \
    >/dev/null && cmake --build "$fuzz_dir" -j "$jobs" --target $fuzz_targets >"$logs/fuzz-build.log" 2>&1
}

# The sanitizer and fuzz builds are made while the first stage runs, at the
# lowest priority: its end-to-end tests mostly wait on seconds passing, and
# the tests' own processes still get a processor first whenever they want one.
# Each build's exit status lands in a file the later stages read.
(
  renice -n 19 -p "$BASHPID" >/dev/null # before any build starts: its compilers inherit it
  if [[ ${TAVELIN_SKIP_SANITIZE:-0} != 1 ]]; then
    build_sanitized
    echo $? >"$logs/asan-build.status"
  fi
  if ((fuzz_wanted)); then
    build_fuzzers
    echo $? >"$logs/fuzz-build.status"
  fi
) </dev/null >/dev/null 2>&1 &
background_builds=$!
trap 'rm -rf "$logs"' EXIT # the builds share the script's process group: an interrupt ends them too

echo "== Tests in $build_dir"
(cd "$build_dir" && ctest --output-on-failure -j "$jobs" --timeout 600 "${main_filter[@]}") 2>&1 |
  tee "$logs/main.log"
tally_ctest "all tests" "$logs/main.log" "${PIPESTATUS[0]}"

kill -0 "$background_builds" 2>/dev/null && echo "== Waiting for the sanitizer and fuzz builds"
wait "$background_builds"

if [[ ${TAVELIN_SKIP_SANITIZE:-0} != 1 ]]; then
  echo "== Unit, integration, gui and e2e-asan tests with AddressSanitizer and UndefinedBehaviorSanitizer in $asan_dir"
  export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
  export LSAN_OPTIONS=suppressions=$root/tests/lsan_suppressions.txt:print_suppressions=0
  if [[ $(cat "$logs/asan-build.status") == 0 ]]; then
    (cd "$asan_dir" && ctest --output-on-failure -j "$jobs" --timeout 600 -L 'unit|integration|gui|e2e-asan') 2>&1 |
      tee "$logs/asan.log"
    tally_ctest "sanitizers" "$logs/asan.log" "${PIPESTATUS[0]}"
    # A report in a process whose exit status was lost still fails the stage.
    reports=$(grep -cE '^(SUMMARY: (Address|Leak|UndefinedBehavior)Sanitizer|.*: runtime error: )' "$logs/asan.log")
    ((reports == 0)) || stage_failure "sanitizers: $reports sanitizer report(s) in the test output"
  else
    tail -n 40 "$logs/asan-build.log"
    stage_failure "sanitizers: the sanitizer build failed"
  fi
fi

if [[ ${TAVELIN_SKIP_FUZZ:-0} == 1 ]]; then
  :
elif ! command -v clang++ >/dev/null || [[ -z $fuzzer_runtime ]]; then
  summary+=("fuzz: skipped, clang with libFuzzer is not installed")
else
  echo "== Fuzz targets, ${fuzz_seconds} s each, in $fuzz_dir"
  unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS
  if [[ $(cat "$logs/fuzz-build.status") == 0 ]]; then
    for target in $fuzz_targets; do
      name=${target%_fuzz}
      corpus=$fuzz_dir/corpus/$name # a scratch copy: new inputs stay out of the repository
      crashes=$fuzz_dir/crashes/$name
      mkdir -p "$corpus" "$crashes"
      cp "$root/tests/fuzz/corpus/$name/"* "$corpus/"
      "$fuzz_dir/bin/$target" -max_total_time="$fuzz_seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$crashes/" "$corpus" >"$logs/$target.log" 2>&1
      status=$?
      runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$logs/$target.log")
      if ((status == 0)); then
        passed=$((passed + 1))
        summary+=("fuzz $target: passed, ${runs:-?} runs in ${fuzz_seconds} s")
      else
        grep -E 'ERROR|SUMMARY|runtime error|^(reply framing|sampling cycle):' "$logs/$target.log" | head -n 20
        stage_failure "fuzz $target: FAILED (exit status $status), input kept in $crashes"
      fi
    done
  else
    tail -n 40 "$logs/fuzz-build.log"
    stage_failure "fuzz: the fuzz build failed"
  fi
fi

echo
echo "== Summary"
printf '%s\n' "${summary[@]}"
echo "$passed passed, $failed failed"
((failed == 0))
