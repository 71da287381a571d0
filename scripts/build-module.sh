#!/usr/bin/env bash
# Configures and builds one build directory for one interpreter, with the
# compiler's output in DIR.log, printed only when something fails.
#   build-module.sh DIR PYTHON [cmake -D options...] [-- targets...]
# Runs unchanged on the host and inside the sid root.
set -uo pipefail
usage() { echo "usage: $0 DIR PYTHON [-DOPTION=VALUE...] [-- TARGET...]" >&2; exit 2; }
[ $# -ge 2 ] || usage
dir=$1 python=$2
shift 2
options=() targets=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
[ $# -gt 0 ] && shift
targets=("$@")

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
log="$dir.log"
mkdir -p "$dir"
: >"$log"

run() {
  echo "+ $*" >>"$log"
  "$@" >>"$log" 2>&1
}
fail() {
  echo "build of $dir failed ($1); last lines of $log:" >&2
  tail -n 80 "$log" >&2
  exit 1
}

run cmake -S "$repo" -B "$dir" -Wno-dev -DPython_EXECUTABLE="$python" "${options[@]}" \
  || fail configure
build=(cmake --build "$dir" -j "${LOOKUP_JOBS:-2}")
[ ${#targets[@]} -gt 0 ] && build+=(--target "${targets[@]}")
run "${build[@]}" || fail compile
