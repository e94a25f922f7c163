#!/usr/bin/env bash
# expect_leak_report.sh PROGRAM MODE [FUNCTION...]: runs the leak canary in
# MODE. With FUNCTION names it must fail with a LeakSanitizer report naming
# each of them; without, it must end with status 0 and no report. Quiet when
# it holds, so a passing row adds no report to the stage's output.
set -uo pipefail
program=$1 mode=$2
shift 2
output=$("$program" "$mode" 2>&1)
status=$?
fail() {
  echo "leak canary ($mode): $1"
  echo "$output"
  exit 1
}
if (($# == 0)); then
  ((status == 0)) || fail "expected status 0, got $status"
  ! grep -q 'LeakSanitizer' <<<"$output" || fail "expected no leak report"
  exit 0
fi
((status != 0)) || fail "expected a failing status, got 0"
grep -q 'ERROR: LeakSanitizer: detected memory leaks' <<<"$output" || fail "expected a leak report"
for function in "$@"; do
  grep -qE " in ([^ ]*::)?$function[ (]" <<<"$output" || fail "expected a leak allocated in $function"
done
