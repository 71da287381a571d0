#!/usr/bin/env bash
# One command, one table: the six functions against the call floor and the
# peers (tldextract, publicsuffix2), libpsl against the engine, import time
# and memory, the builder's run time, the cost on long names, the batch calls
# against Python loops over the per-call function (bench/batch_bench.py), and the
# lookup-psl command against libpsl's psl tool on a million lines (that part
# alone: bench/cli_bench.py --cli BUILD/lookup-psl), and the Rust crate psl in
# memory and as a line program (bench/rust_peer.sh). Builds what it needs
# (Release) and installs the missing Debian packages first.
#
#   bench/compare.sh [compare.py flags, e.g. --passes 25 --strict]
#
# Then draws the side-by-side figures (bench/chart.py, matplotlib) into
# docs/performance.svg, or LOOKUP_CHART.
#
# Environment: PYTHON (interpreter, default /usr/bin/python3), LOOKUP_BENCH_BUILD_DIR
# (default build/bench-<python>, from the preset bench), JOBS (default 2),
# LOOKUP_CHART (the SVG to write).
#
# CPython 3.15 through the Debian sid root of scripts/sid-root.sh:
#   ROOT=$(scripts/sid-root.sh); mkdir -p "$ROOT/work"; mountpoint -q "$ROOT/work" || mount --bind /work "$ROOT/work"
#   chroot "$ROOT" env PYTHON=python3.15 /work/main/bench/compare.sh
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PYTHON=${PYTHON:-/usr/bin/python3}
PYTHON_NAME=${PYTHON##*/}
DATA="$REPO/data"

# The peers are the distribution's own packages (the Python ones go to
# dist-packages, which Debian's interpreters all read).
bash "$REPO/scripts/install-packages.sh" cmake make g++ pkgconf "$PYTHON_NAME-dev" libbenchmark-dev \
  libpsl-dev psl python3-tldextract python3-publicsuffix2 python3-matplotlib
PYTHON_PATH=$(command -v "$PYTHON") || { echo "compare.sh: $PYTHON is missing" >&2; exit 1; }
BUILD=${LOOKUP_BENCH_BUILD_DIR:-$REPO/build/bench-$PYTHON_NAME}
LOOKUP_JOBS=${JOBS:-2} bash "$REPO/scripts/build-module.sh" bench "$BUILD" -DPython_EXECUTABLE="$PYTHON_PATH" \
  -- _lookup _suffix_list _callfloor psl_bench engine_bench table-builder lookup-psl

# The Rust crate psl, built in the sid root where there is one (a note says
# why it is left out where not).
rust_peer=$(bash "$REPO/bench/rust_peer.sh" "$BUILD/bench/engine_bench" | tee /dev/stderr | tail -n 1) || rust_peer=
[ -n "$rust_peer" ] && export LOOKUP_RUST_PEER="$rust_peer"

status=0
"$PYTHON_PATH" "$REPO/bench/compare.py" --module-dir "$BUILD" --floor-dir "$BUILD/bench" \
  --psl-bench "$BUILD/bench/psl_bench" --builder "$BUILD/table-builder" --cli "$BUILD/lookup-psl" \
  --corpus "$DATA/bench/domains.txt" --list "$DATA/psl/public_suffix_list.dat" \
  --figures "$BUILD/figures.json" "$@" || status=$?
# Drawn by the system's interpreter, whose matplotlib Debian packages.
/usr/bin/python3 "$REPO/bench/chart.py" "$BUILD/figures.json" "${LOOKUP_CHART:-$REPO/docs/performance.svg}"
exit $status
