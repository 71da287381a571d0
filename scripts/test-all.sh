#!/usr/bin/env bash
# The project's test command. Builds the module and its tests from the CMake
# presets for every supported interpreter and runs them with ctest (the C++
# suites are labelled unit, the pytest suite python):
#   - host (Debian 12, Python 3.11): everything, preset host;
#   - a cached Debian sid root (scripts/sid-root.sh): everything again with
#     sid's newer compiler on Python 3.15, the pytest suite on 3.14, and on
#     the debug build 3.15d (preset debug) with the reference-count tests;
#   - pyenv's 3.12 and 3.13, when present: the pytest suite, run by Debian's
#     pure-Python pytest;
#   - scripts/hardening.sh (sanitizers, fuzzers, valgrind) and
#     scripts/packaging-check.sh (sdist, wheels, the installed package).
# Needs root for apt-get, debootstrap and the bind mounts. Every stage runs even after an
# earlier one failed, unless it needs that one's build; the exit status is
# non-zero when any stage failed.
set -uo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
BUILD="$REPO/build"
export LOOKUP_JOBS=2
HOST_PACKAGES=(cmake make g++ ccache libgtest-dev libbenchmark-dev python3-dev python3-pytest
               python3-numpy debootstrap binutils python3-dask python3-distributed tmux man-db)
# The build directories of several interpreters compile the same engine,
# builder and command sources alike: ccache makes each such object once.
export CMAKE_CXX_COMPILER_LAUNCHER=ccache
PYENV_VERSIONS=(3.12 3.13)

# shellcheck source=scripts/stages.sh
source "$REPO/scripts/stages.sh"
# shellcheck source=scripts/sid-mounts.sh
source "$REPO/scripts/sid-mounts.sh"

# build_and_test NAME RUNNER PRESET DIR PYTHON LABELS [TARGET...]: builds DIR
# from PRESET for PYTHON (only the TARGETs, when given) and runs its tests
# with the LABELS regular expression (all of them when empty), both through
# RUNNER (in_sid, or env for the host).
build_and_test() {
  local name=$1 runner=$2 preset=$3 dir=$4 python=$5 labels=$6 targets=() filter=()
  shift 6
  [ $# -gt 0 ] && targets=(-- "$@")
  [ -n "$labels" ] && filter=(-L "$labels")
  if stage "$name: build" "$runner" bash "$REPO/scripts/build-module.sh" "$preset" "$dir" \
      -DPython_EXECUTABLE="$python" "${targets[@]}"; then
    stage "$name: ctest${labels:+ -L $labels}" "$runner" \
      ctest --test-dir "$dir" --output-on-failure -j "$LOOKUP_JOBS" "${filter[@]}"
  else
    skip "$name: ctest" "its build failed"
  fi
}

prepare_sid_root() {
  enter_sid_root "$REPO" && install_into_sid ccache
}

sid_stages() {
  if ! stage "sid root: make or reuse, mount the repository" prepare_sid_root; then
    skip "sid: Python 3.15, 3.14, 3.15d" "no sid root"
    return
  fi
  build_and_test "sid 3.15 (g++ $(in_sid g++ -dumpversion))" in_sid host "$BUILD/sid-3.15" \
    /usr/bin/python3.15 ""
  build_and_test "sid 3.14" in_sid host "$BUILD/sid-3.14" /usr/bin/python3.14 python \
    _lookup _suffix_list _lookup_corrupt lookup-psl
  # The debug interpreter counts references; the module is built unoptimised
  # with the library's bounds assertions.
  build_and_test "sid 3.15d (debug)" in_sid debug "$BUILD/sid-3.15d" /usr/bin/python3.15d python \
    _lookup _suffix_list _lookup_corrupt lookup-psl
  unmount_all
}

pyenv_stages() {
  local version python
  for version in "${PYENV_VERSIONS[@]}"; do
    python=$(ls -d "${PYENV_ROOT:-/root/.pyenv}/versions/$version".*/bin/python3 2>/dev/null \
               | sort -V | tail -n 1)
    if [ -z "$python" ]; then
      skip "pyenv $version" "not installed under ${PYENV_ROOT:-/root/.pyenv}"
      continue
    fi
    build_and_test "pyenv $version" env host "$BUILD/pyenv-$version" "$python" python \
      _lookup _suffix_list _lookup_corrupt lookup-psl
  done
}

echo "lookup: testing $REPO ($(git -C "$REPO" rev-parse --short HEAD 2>/dev/null || echo 'no git'))"
if ! stage "host: install missing packages" bash "$REPO/scripts/install-packages.sh" "${HOST_PACKAGES[@]}"; then
  echo "error: cannot install the build dependencies" >&2
  exit 1
fi
build_and_test "host (Python 3.11, g++ $(g++ -dumpversion))" env host "$BUILD/host" /usr/bin/python3 ""
sid_stages
pyenv_stages
# Sanitizers, fuzzers (60 s each) and valgrind; then the package as users install it.
stage "hardening: sanitizers, fuzzing, valgrind" bash "$REPO/scripts/hardening.sh" 60
stage "packaging: sdist, wheels, venv installs, stubtest" bash "$REPO/scripts/packaging-check.sh"
stage_summary "test-all"
