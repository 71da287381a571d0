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
# LOOKUP_BENCH_BUILD_DIR (default build/bench-<python>, from the preset bench),
# JOBS (parallel build jobs, default 2), BENCH_PASSES
# (timed passes of the Python part, default 15), ENGINE_BENCH_ARGS (Google
# Benchmark flags, default 5 repetitions reported as mean/median/stddev/cv).
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PYTHON=${PYTHON:-/usr/bin/python3}
PYTHON_NAME=${PYTHON##*/}
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

packages=(cmake make g++ "$PYTHON_NAME-dev")
[ "$RUN_ENGINE" = 1 ] && packages+=(libbenchmark-dev)
command -v "$PYTHON" >/dev/null || packages+=("$PYTHON_NAME")
bash "$REPO/scripts/install-packages.sh" "${packages[@]}"
PYTHON_PATH=$(command -v "$PYTHON") || { echo "run.sh: $PYTHON is missing" >&2; exit 1; }
BUILD=${LOOKUP_BENCH_BUILD_DIR:-$REPO/build/bench-$PYTHON_NAME}
targets=()
[ "$RUN_ENGINE" = 1 ] && targets+=(engine_bench)
[ "$RUN_PYTHON" = 1 ] && targets+=(_lookup _callfloor)
LOOKUP_JOBS=${JOBS:-2} bash "$REPO/scripts/build-module.sh" bench "$BUILD" -DPython_EXECUTABLE="$PYTHON_PATH" \
  -- "${targets[@]}"

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
