# Stages of the test scripts, sourced by test-all.sh, hardening.sh and
# packaging-check.sh. Each stage runs, is timed and gets one line in the
# summary; a failed stage does not stop the ones after it. Stages may run in
# background subshells of the sourcing script (test-all.sh's lanes): their
# lines go to one record file, so the summary has them all.
#   stage NAME COMMAND...   runs COMMAND and records PASS or FAIL; returns its status
#   skip NAME REASON        records a stage that could not run
#   stage_summary TITLE     prints the summary; returns 1 when a stage failed
# When file descriptor 3 is open (test-all.sh opens it on its own standard
# output), each stage's start and end is also written there as it happens.
stage_record=$(mktemp "${TMPDIR:-/tmp}/lookup-stages.XXXXXX")
stage_started=$SECONDS

# Sets stage_cpu to the CPU seconds (user and system) used so far by the
# commands this shell has waited for: beside wall time, it shows whether a
# stage worked or waited. `times` must run in this shell, not in a command
# substitution's subshell.
children_cpu_seconds() {
  local shell_user shell_system user system
  times >"$stage_record.times"
  { read -r shell_user shell_system; read -r user system; } <"$stage_record.times"
  rm -f "$stage_record.times"
  stage_cpu=$(awk -v u="$user" -v s="$system" 'BEGIN {
    split(u, a, /[ms]/); split(s, b, /[ms]/); printf "%.0f", a[1] * 60 + a[2] + b[1] * 60 + b[2] }')
}

stage_note() {
  { : >&3; } 2>/dev/null && echo "[$(date +%H:%M:%S)] $*" >&3
  return 0
}

stage() {
  local name=$1 begin=$SECONDS cpu_begin status line cpu
  children_cpu_seconds
  cpu_begin=$stage_cpu
  shift
  echo
  echo "=== $name"
  stage_note "start $name"
  "$@"
  status=$?
  children_cpu_seconds
  cpu="$((stage_cpu - cpu_begin))s CPU"
  if [ $status -eq 0 ]; then
    line="PASS  $name ($((SECONDS - begin))s, $cpu)"
  else
    line="FAIL  $name ($((SECONDS - begin))s, $cpu, exit $status)"
  fi
  echo "$line" >>"$stage_record"
  stage_note "$line"
  return $status
}

skip() {
  echo
  echo "=== $1: skipped, $2"
  echo "SKIP  $1: $2" >>"$stage_record"
  stage_note "SKIP  $1: $2"
}

stage_summary() {
  local failures
  failures=$(grep -c '^FAIL' "$stage_record")
  echo
  echo "=== $1: summary ($((SECONDS - stage_started))s in all, wall clock; each stage's wall and CPU seconds, in the order they ended)"
  cat "$stage_record"
  rm -f "$stage_record"
  if [ "$failures" -ne 0 ]; then
    echo "$1: $failures stage(s) FAILED"
    return 1
  fi
  echo "$1: all stages passed"
}

# interpreter_cxx COMMAND...: the C++ compiler that the interpreter COMMAND
# runs names for its extensions (sysconfig's CXX, as scikit-build-core takes
# it for a wheel), or c++. ccache tells compilers apart by name, so builds
# that share objects with a wheel name this one.
interpreter_cxx() {
  local cxx
  cxx=$("$@" -c 'import sysconfig; print(sysconfig.get_config_var("CXX") or "")' 2>/dev/null)
  cxx=${cxx%% *}
  echo "${cxx:-c++}"
}
