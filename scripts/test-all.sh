#!/usr/bin/env bash
# The project's test command. Builds the module and its tests from the CMake
# presets for every supported interpreter and runs them with ctest (every
# label a build registers runs, unless a stage names its labels):
#   - host (Debian 12, Python 3.11): everything, preset host;
#   - pyenv's 3.12 and 3.13, when present: the pytest suite, run by Debian's
#     pure-Python pytest (in whichever lane is free first);
#   - scripts/hardening.sh: sanitizers, fuzzers, valgrind (over the host
#     build, which registers the memcheck tests for it);
#   - a cached Debian sid root (scripts/sid-root.sh): the C++ suites and the
#     generators' checks again with sid's newer compiler, and on the
#     debug build 3.15d (preset debug) the pytest suite with the
#     reference-count tests;
#   - scripts/packaging-check.sh in the sid root: one wheel per interpreter
#     (3.14, 3.15), installed into a venv, against which the whole pytest
#     suite runs (the suite's run on those interpreters), and the checks of
#     the sdist, the wheel and the stubs.
# The host stages and the sid stages are two lanes that run side by side on
# the two cores (each lane's output goes to build/test-all-LANE.log, printed
# when both are done; each stage's start and end are shown as they happen).
# Needs root for apt-get, mmdebstrap and the bind mounts. Every stage runs
# even after an earlier one failed, unless it needs that one's build; the
# exit status is non-zero when any stage failed.
#   LOOKUP_FUZZ_SECONDS   each fuzzer's budget (default 30)
set -uo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
BUILD="$REPO/build"
export LOOKUP_JOBS=2
# Each fuzzer's budget. In a 60 s run (the three side by side on the two
# shared cores, load average 7) the edge coverage reached at 30 s was 99% or
# more of that at 60 s (query 546 of 547, builder 1448 of 1460, row 626 of
# 627; the last gains at about 37, 49 and 34 s). Against 240 s runs of the
# four (coverage last grew at 72, 74, 126 and 174 s), this stage's 30 s reach
# 94 to 99% of it (query 590 of 614, fast path 485 of 489, builder 1704 of
# 1746, row 704-733 of 752): longer runs are scripts/fuzz.sh's, which prints
# when coverage last grew, to check this budget against.
FUZZ_SECONDS=${LOOKUP_FUZZ_SECONDS:-30}
# Everything the host stages need, hardening's tools included, installed
# once before the lanes start (two apt-gets at once would fight for its lock).
HOST_PACKAGES=(cmake make g++ ccache libgtest-dev libbenchmark-dev python3-dev python3-pytest
               python3-numpy mmdebstrap binutils python3-dask python3-distributed tmux man-db pkg-config python3-venv
               clang libclang-rt-14-dev valgrind git)
# The build directories of several interpreters compile the same engine,
# builder and command sources alike: ccache makes each such object once. Its
# base directory makes the paths relative, so that build directories at the
# same depth (build/host, build/pyenv-3.12, ...) share the objects.
export CMAKE_CXX_COMPILER_LAUNCHER=ccache
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$REPO")}
# The test programs' precompiled headers: ccache serves the files that use one
# only when told that neither the header's macros nor its files' times matter.
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
PYENV_VERSIONS=(3.12 3.13)

# shellcheck source=scripts/stages.sh
source "$REPO/scripts/stages.sh"
# shellcheck source=scripts/sid-mounts.sh
source "$REPO/scripts/sid-mounts.sh"

# build_and_test NAME RUNNER PRESET DIR PYTHON CTEST_FILTER [-DOPTION=VALUE...] [-- TARGET...]:
# builds DIR from PRESET for PYTHON with build-module.sh's options (only the
# TARGETs, when given) and runs its tests picked by CTEST_FILTER (ctest
# options, e.g. "-L python"; all of them when empty), both through RUNNER
# (in_sid, or env for the host).
build_and_test() {
  local name=$1 runner=$2 preset=$3 dir=$4 python=$5 filter=()
  read -r -a filter <<<"$6"
  shift 6
  if stage "$name: build" "$runner" bash "$REPO/scripts/build-module.sh" "$preset" "$dir" \
      -DPython_EXECUTABLE="$python" "$@"; then
    stage "$name: ctest${filter[*]:+ ${filter[*]}}" "$runner" \
      ctest --test-dir "$dir" --output-on-failure -j "$LOOKUP_JOBS" "${filter[@]}"
  else
    skip "$name: ctest" "its build failed"
  fi
}

# pyenv_stages: the pyenv interpreters' stages not yet claimed by the other
# lane. Both lanes call it when their own stages are done, so that these
# stages, which need no sid root, fill whichever lane ends first (on a fresh
# machine the sid root takes minutes; with one made, the host lane is longer).
pyenv_stages() {
  local version python
  for version in "${PYENV_VERSIONS[@]}"; do
    mkdir "$BUILD/claims/pyenv-$version" 2>/dev/null || continue
    python=$(ls -d "${PYENV_ROOT:-/root/.pyenv}/versions/$version".*/bin/python3 2>/dev/null \
               | sort -V | tail -n 1)
    if [ -z "$python" ]; then
      skip "pyenv $version" "not installed under ${PYENV_ROOT:-/root/.pyenv}"
      continue
    fi
    build_and_test "pyenv $version" env host "$BUILD/pyenv-$version" "$python" "-L python" \
      -- _lookup _suffix_list _lookup_corrupt lookup-psl
  done
}

host_lane() {
  # The host build also registers the memcheck tests; the hardening stage
  # runs them under valgrind over this same build.
  build_and_test "host (Python 3.11, g++ $(g++ -dumpversion))" env host "$BUILD/host" /usr/bin/python3 \
    "-LE memcheck" -DLOOKUP_MEMCHECK=ON
  # Sanitizers, fuzzers and valgrind.
  stage "hardening: sanitizers, fuzzing (${FUZZ_SECONDS}s each), valgrind" \
    env LOOKUP_MEMCHECK_BUILD="$BUILD/host" bash "$REPO/scripts/hardening.sh" "$FUZZ_SECONDS"
  pyenv_stages
}

prepare_sid_root() {
  enter_sid_root "$REPO" && install_into_sid ccache pkg-config python3-venv
}

sid_lane() {
  trap unmount_all EXIT
  if stage "sid root: make or reuse, mount the repository" prepare_sid_root; then
    # The pytest suite on 3.15 runs against the installed wheel (packaging),
    # which g++ 16 builds with the command: here the C++ suites and the
    # generators' checks, and only what they run, with the wheels' compiler
    # so that they reuse its objects.
    build_and_test "sid 3.15 (g++ $(in_sid g++ -dumpversion))" in_sid host "$BUILD/sid-3.15" \
      /usr/bin/python3.15 "-LE python|install" -DCMAKE_CXX_COMPILER="$(interpreter_cxx in_sid /usr/bin/python3.15)" \
      -- engine_tests builder_tests cli_tests cpython_tests library_tests parts_memory_tests table-builder \
         case-data-builder
    # The debug interpreter counts references; the module is built
    # unoptimised with the library's bounds assertions.
    build_and_test "sid 3.15d (debug)" in_sid debug "$BUILD/sid-3.15d" /usr/bin/python3.15d "-L python" \
      -- _lookup _suffix_list _lookup_corrupt lookup-psl
  else
    skip "sid: Python 3.15, 3.15d" "no sid root"
  fi
  unmount_all
  # The package as users install it, on 3.14 and 3.15; the pytest suite on
  # those interpreters runs here, against the installed package.
  stage "packaging: sdist, a wheel per interpreter, venv installs, the suite installed, stubtest" \
    bash "$REPO/scripts/packaging-check.sh"
  pyenv_stages
}

# run_lane NAME FUNCTION: FUNCTION in the background, its output in a log.
lane_pids=()
run_lane() {
  "$2" >"$BUILD/test-all-$1.log" 2>&1 &
  lane_pids+=($!)
}

echo "lookup: testing $REPO ($(git -C "$REPO" rev-parse --short HEAD 2>/dev/null || echo 'no git'))"
mkdir -p "$BUILD"
rm -rf "$BUILD/claims"
mkdir "$BUILD/claims"
if ! stage "host: install missing packages" bash "$REPO/scripts/install-packages.sh" "${HOST_PACKAGES[@]}"; then
  echo "error: cannot install the build dependencies" >&2
  exit 1
fi
exec 3>&1
run_lane host host_lane
run_lane sid sid_lane
wait "${lane_pids[@]}"
exec 3>&-
for lane in host sid; do
  echo
  echo "=== lane $lane (build/test-all-$lane.log)"
  cat "$BUILD/test-all-$lane.log"
done
stage_summary "test-all"
