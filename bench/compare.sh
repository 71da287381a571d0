#!/usr/bin/env bash
# One command, one table: the six functions against the call floor and the
# peers (tldextract, publicsuffix2) and against the same methods of a
# lookup_psl.SuffixList built at run time, libpsl against the engine (lookups,
# and psl_load_file against the run-time build), import time and memory, what
# a SuffixList holds, the builder's run time, the cost on long names, the batch
# calls against Python loops over the per-call function (bench/batch_bench.py), and the
# lookup-psl command against libpsl's psl tool on a million lines (that part
# alone: bench/cli_bench.py --cli BUILD/lookup-psl). Builds what it needs
# (Release) and installs the missing Debian packages first.
#
#   bench/compare.sh [compare.py flags, e.g. --passes 25 --strict]
#
# Environment: PYTHON (interpreter, default /usr/bin/python3), LOOKUP_BENCH_BUILD_DIR
# (default build/compare, or build/compare-<python> for another interpreter), JOBS
# (default 2).
#
# CPython 3.15 through the Debian sid root of scripts/sid-root.sh:
#   ROOT=$(scripts/sid-root.sh); mkdir -p "$ROOT/work"; mountpoint -q "$ROOT/work" || mount --bind /work "$ROOT/work"
#   chroot "$ROOT" env PYTHON=python3.15 /work/main/bench/compare.sh
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ -z "${PYTHON:-}" ]; then
  if [ -x /usr/bin/python3 ]; then PYTHON=/usr/bin/python3; else PYTHON=python3; fi
fi
JOBS=${JOBS:-2}
DATA="$REPO/data"
PYTHON_NAME=${PYTHON##*/}
if [ "$PYTHON_NAME" = python3 ]; then
  BUILD=${LOOKUP_BENCH_BUILD_DIR:-$REPO/build/compare}
else
  BUILD=${LOOKUP_BENCH_BUILD_DIR:-$REPO/build/compare-$PYTHON_NAME}
fi

# Install only what is missing. The peers are the distribution's own packages
# (the Python ones go to dist-packages, which Debian's interpreters all read).
packages=(cmake make g++ pkgconf "$PYTHON_NAME-dev" libbenchmark-dev libpsl-dev psl python3-tldextract python3-publicsuffix2)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "compare.sh: installing ${missing[*]}" >&2
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  # A frozen snapshot (the sid root) has expired Release files.
  "${sudo_cmd[@]}" apt-get -o Acquire::Check-Valid-Until=false update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi
PYTHON_PATH=$(command -v "$PYTHON") || { echo "compare.sh: $PYTHON is missing" >&2; exit 1; }

cmake -S "$REPO" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DLOOKUP_BUILD_BENCH=ON -DLOOKUP_BUILD_TESTS=OFF \
  -DPython_EXECUTABLE="$PYTHON_PATH" >/dev/null
cmake --build "$BUILD" -j"$JOBS" --target _lookup _suffix_list _callfloor psl_bench table-builder lookup-psl >/dev/null

exec "$PYTHON_PATH" "$REPO/bench/compare.py" --module-dir "$BUILD" --floor-dir "$BUILD/bench" \
  --psl-bench "$BUILD/bench/psl_bench" --builder "$BUILD/table-builder" --cli "$BUILD/lookup-psl" \
  --corpus "$DATA/bench/domains.txt" --list "$DATA/psl/public_suffix_list.dat" "$@"
