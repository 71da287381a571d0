#!/usr/bin/env bash
# Configures a build directory from one of the CMake presets and builds it,
# with the compiler's output in DIR.log, printed only when something fails.
#   build-module.sh PRESET DIR [-DOPTION=VALUE...] [-- TARGET...]
# e.g. build-module.sh host build/pyenv-3.12 -DPython_EXECUTABLE=/path/python3.12 -- _lookup
# Runs unchanged on the host and inside the sid root.
set -uo pipefail
usage() { echo "usage: $0 PRESET DIR [-DOPTION=VALUE...] [-- TARGET...]" >&2; exit 2; }
[ $# -ge 2 ] || usage
preset=$1 dir=$2
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

# Presets are read from the source directory, the current one.
cd "$repo" || exit 1
run cmake --preset "$preset" -B "$dir" -Wno-dev "${options[@]}" || fail configure
build=(cmake --build "$dir" -j "${LOOKUP_JOBS:-2}")
[ ${#targets[@]} -gt 0 ] && build+=(--target "${targets[@]}")
run "${build[@]}" || fail compile
