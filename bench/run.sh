#!/usr/bin/env bash
# Builds the module and the benchmarks (Release) and runs them: the engine's
# Google Benchmark binary, then the Python functions against the call floor.
#
#   bench/run.sh [--python-only | --engine-only]
#
# The side-by-side table with the peers (libpsl, tldextract, publicsuffix2),
# import cost and long names is bench/compare.sh.
#
# Environment: PYTHON (interpreter to build for and run, default /usr/bin/python3),
# LOOKUP_BENCH_BUILD_DIR (default build/bench, or build/bench-<python> for
# another interpreter), JOBS (parallel build jobs, default 2), BENCH_PASSES
# (timed passes of the Python part, default 15), ENGINE_BENCH_ARGS (Google
# Benchmark flags, default 5 repetitions reported as mean/median/stddev/cv).
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The Debian interpreter, whose headers python3-dev installs, unless told otherwise.
if [ -z "${PYTHON:-}" ]; then
  if [ -x /usr/bin/python3 ]; then PYTHON=/usr/bin/python3; else PYTHON=python3; fi
fi
JOBS=${JOBS:-2}
PASSES=${BENCH_PASSES:-15}
ENGINE_BENCH_ARGS=${ENGINE_BENCH_ARGS:---benchmark_repetitions=5 --benchmark_report_aggregates_only=true}
RUN_ENGINE=1
RUN_PYTHON=1
case "${1:-}" in
  --python-only) RUN_ENGINE=0 ;;
  --engine-only) RUN_PYTHON=0 ;;
  "") ;;
  *) echo "usage: $0 [--python-only | --engine-only]" >&2; exit 2 ;;
esac

PYTHON_PATH=$(command -v "$PYTHON" || true)
PYTHON_NAME=${PYTHON##*/}
if [ "$PYTHON_NAME" = python3 ]; then
  BUILD=${LOOKUP_BENCH_BUILD_DIR:-$REPO/build/bench}
else
  BUILD=${LOOKUP_BENCH_BUILD_DIR:-$REPO/build/bench-$PYTHON_NAME}
fi

# A fresh Debian machine lacks some of these; install only what is missing.
packages=(cmake make g++ "$PYTHON_NAME-dev")
[ "$RUN_ENGINE" = 1 ] && packages+=(libbenchmark-dev)
[ -z "$PYTHON_PATH" ] && packages+=("$PYTHON_NAME")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "run.sh: installing ${missing[*]}" >&2
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
  PYTHON_PATH=$(command -v "$PYTHON") || { echo "run.sh: $PYTHON is still missing" >&2; exit 1; }
fi

cmake -S "$REPO" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DLOOKUP_BUILD_BENCH=ON -DLOOKUP_BUILD_TESTS=OFF \
  -DPython_EXECUTABLE="$PYTHON_PATH" >/dev/null
targets=()
[ "$RUN_ENGINE" = 1 ] && targets+=(engine_bench)
[ "$RUN_PYTHON" = 1 ] && targets+=(_lookup _callfloor)
cmake --build "$BUILD" -j"$JOBS" --target "${targets[@]}"

status=0
if [ "$RUN_ENGINE" = 1 ]; then
  if [ ! -x "$BUILD/bench/engine_bench" ]; then
    echo "run.sh: engine_bench was not built (Google Benchmark missing?)" >&2
    exit 1
  fi
  echo
  echo "== engine (C++) =="
  # shellcheck disable=SC2086  # the flags are meant to split
  "$BUILD/bench/engine_bench" $ENGINE_BENCH_ARGS || status=$?
fi
if [ "$RUN_PYTHON" = 1 ]; then
  echo
  echo "== Python functions against the call floor =="
  LOOKUP_MODULE_DIR="$BUILD" LOOKUP_FLOOR_DIR="$BUILD/bench" \
    "$PYTHON_PATH" "$REPO/bench/bench_module.py" --passes "$PASSES" || status=$?
fi
exit "$status"
