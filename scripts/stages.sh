# Stages of the test scripts, sourced by test-all.sh, hardening.sh and
# packaging-check.sh. Each stage runs, is timed and gets one line in the
# summary; a failed stage does not stop the ones after it.
#   stage NAME COMMAND...   runs COMMAND and records PASS or FAIL; returns its status
#   skip NAME REASON        records a stage that could not run
#   stage_summary TITLE     prints the summary; returns 1 when a stage failed
stage_lines=()
stage_failures=0
stage_started=$SECONDS

stage() {
  local name=$1 begin=$SECONDS status
  shift
  echo
  echo "=== $name"
  "$@"
  status=$?
  if [ $status -eq 0 ]; then
    stage_lines+=("PASS  $name ($((SECONDS - begin))s)")
  else
    stage_lines+=("FAIL  $name ($((SECONDS - begin))s, exit $status)")
    stage_failures=$((stage_failures + 1))
  fi
  return $status
}

skip() {
  echo
  echo "=== $1: skipped, $2"
  stage_lines+=("SKIP  $1: $2")
}

stage_summary() {
  echo
  echo "=== $1: summary ($((SECONDS - stage_started))s in all)"
  printf '%s\n' "${stage_lines[@]}"
  if [ $stage_failures -ne 0 ]; then
    echo "$1: $stage_failures stage(s) FAILED"
    return 1
  fi
  echo "$1: all stages passed"
}
