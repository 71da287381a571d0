#!/usr/bin/env bash
# The project's test command. Builds the module and its tests for every
# supported interpreter and runs them:
#   - host (Debian 12, Python 3.11): engine and builder tests with ctest (the
#     regeneration checks included), then the pytest suite;
#   - a cached Debian sid root (scripts/sid-root.sh): the pytest suite on
#     Python 3.15, 3.14 and the debug build of 3.15 (refcount checks), and
#     ctest once more with sid's newer compiler;
#   - pyenv's 3.12 and 3.13, when present: a build and a smoke check.
# Needs root for apt-get, debootstrap and the bind mounts. Every stage runs even after an
# earlier one failed, unless it needs that one's build; the exit status is
# non-zero when any stage failed.
set -uo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
BUILD="$REPO/build"
export LOOKUP_JOBS=2
HOST_PACKAGES=(cmake make g++ libgtest-dev libbenchmark-dev python3-dev python3-pytest
               python3-numpy debootstrap binutils python3-dask python3-distributed)
SID_PYTHONS=(python3.15 python3.14)
SID_DEBUG_PYTHON=python3.15d
PYENV_VERSIONS=(3.12 3.13)
SID_PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

summary=()
failures=0
started=$SECONDS

# stage NAME COMMAND...: runs one step and records how it went.
stage() {
  local name=$1 begin=$SECONDS status
  shift
  echo
  echo "=== $name"
  "$@"
  status=$?
  local took=$((SECONDS - begin))
  if [ $status -eq 0 ]; then
    summary+=("PASS  $name (${took}s)")
  else
    summary+=("FAIL  $name (${took}s, exit $status)")
    failures=$((failures + 1))
  fi
  return $status
}

skip() {
  echo
  echo "=== $1: skipped, $2"
  summary+=("SKIP  $1: $2")
}

# run_pytest BUILD_DIR PYTHON [RUNNER...]: the suite against one build
# directory, run through RUNNER (e.g. in_sid) when given. pytest's "no tests
# collected" (5) counts as a failure like any other non-zero exit.
run_pytest() {
  local build_dir=$1 python=$2
  shift 2
  "$@" env PYTHONDONTWRITEBYTECODE=1 \
    LOOKUP_MODULE_DIR="$build_dir" \
    LOOKUP_CORRUPT_MODULE_DIR="$build_dir/corrupt" \
    "$python" -m pytest -q -rs -p no:cacheprovider "$REPO/tests/python"
  local status=$?
  [ $status -eq 5 ] && echo "pytest collected no tests"
  return $status
}

run_ctest() {
  ctest --test-dir "$1" --output-on-failure -j "$LOOKUP_JOBS"
}

# ---- sid root: bind mounts that the trap undoes -------------------------
SID_ROOT=""
# shellcheck source=scripts/sid-mounts.sh
source "$REPO/scripts/sid-mounts.sh"

prepare_sid_root() {
  local root proc_was_mounted=0
  root=${LOOKUP_SID_ROOT:-/var/cache/lookup-sid}
  mountpoint -q "$root/proc" && proc_was_mounted=1
  SID_ROOT=$(bash "$REPO/scripts/sid-root.sh") || return 1
  [ $proc_was_mounted -eq 1 ] || mounted+=("$SID_ROOT/proc")
  bind_into_root "$REPO"
}

# in_sid COMMAND...: runs a command in the root with a clean environment.
in_sid() {
  chroot "$SID_ROOT" env -i PATH="$SID_PATH" HOME=/root LANG=C.UTF-8 \
    LOOKUP_JOBS="$LOOKUP_JOBS" "$@"
}

# ---- stages -------------------------------------------------------------
host_stages() {
  local dir="$BUILD/host" bench_option=()
  # The benchmarks are compiled (not run) so that they keep building.
  [ -f "$REPO/bench/CMakeLists.txt" ] && bench_option=(-DLOOKUP_BUILD_BENCH=ON)
  if stage "host: build (Python 3.11, g++ $(g++ -dumpversion))" \
      bash "$REPO/scripts/build-module.sh" "$dir" /usr/bin/python3 \
        -DLOOKUP_BUILD_TESTS=ON "${bench_option[@]}"; then
    stage "host: ctest" run_ctest "$dir"
    stage "host: pytest on Python 3.11" run_pytest "$dir" /usr/bin/python3
  else
    skip "host: ctest and pytest" "the host build failed"
  fi
}

sid_stages() {
  if ! stage "sid root: make or reuse, mount the repository" prepare_sid_root; then
    skip "sid: Python ${SID_PYTHONS[*]} $SID_DEBUG_PYTHON" "no sid root"
    return
  fi
  local python version dir first=1
  for python in "${SID_PYTHONS[@]}"; do
    version=${python#python}
    dir="$BUILD/sid-$version"
    local targets=(-- _lookup _suffix_list _lookup_corrupt lookup-psl)
    # The first sid build also compiles and runs the C++ tests with sid's
    # newer compiler.
    [ $first -eq 1 ] && targets=()
    if stage "sid: build (Python $version)" in_sid bash "$REPO/scripts/build-module.sh" \
        "$dir" "/usr/bin/$python" -DLOOKUP_BUILD_TESTS=ON \
        "${targets[@]}"; then
      [ $first -eq 1 ] && stage "sid: ctest (g++ $(in_sid g++ -dumpversion))" in_sid \
        ctest --test-dir "$dir" --output-on-failure -j "$LOOKUP_JOBS"
      stage "sid: pytest on Python $version" run_pytest "$dir" "/usr/bin/$python" in_sid
    else
      skip "sid: pytest on Python $version" "its build failed"
    fi
    first=0
  done

  # The debug interpreter counts references; the suite's refcount tests need
  # it. The module is built unoptimised with the library's bounds assertions.
  version=${SID_DEBUG_PYTHON#python}
  dir="$BUILD/sid-$version"
  if stage "sid: build (Python $version, debug)" in_sid bash "$REPO/scripts/build-module.sh" \
      "$dir" "/usr/bin/$SID_DEBUG_PYTHON" -DLOOKUP_BUILD_TESTS=ON \
      -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-D_GLIBCXX_ASSERTIONS -- _lookup _suffix_list _lookup_corrupt lookup-psl; then
    stage "sid: pytest on Python $version (debug)" run_pytest "$dir" "/usr/bin/$SID_DEBUG_PYTHON" in_sid
  else
    skip "sid: pytest on Python $version (debug)" "its build failed"
  fi
  unmount_all
}

pyenv_stages() {
  local version python dir
  for version in "${PYENV_VERSIONS[@]}"; do
    python=$(ls -d "${PYENV_ROOT:-/root/.pyenv}/versions/$version".*/bin/python3 2>/dev/null \
               | sort -V | tail -n 1)
    if [ -z "$python" ]; then
      skip "pyenv: Python $version" "not installed under ${PYENV_ROOT:-/root/.pyenv}"
      continue
    fi
    dir="$BUILD/pyenv-$version"
    if stage "pyenv: build ($python)" bash "$REPO/scripts/build-module.sh" "$dir" "$python" \
        -DLOOKUP_BUILD_TESTS=OFF -- _lookup; then
      stage "pyenv: smoke check on Python $version" "$python" "$REPO/tools/smoke_check.py" "$dir"
    else
      skip "pyenv: smoke check on Python $version" "its build failed"
    fi
  done
}

# ---- main ---------------------------------------------------------------
echo "lookup: testing $REPO ($(git -C "$REPO" rev-parse --short HEAD 2>/dev/null || echo 'no git'))"
if ! stage "host: install missing packages" bash "$REPO/scripts/install-packages.sh" "${HOST_PACKAGES[@]}"; then
  echo "error: cannot install the build dependencies" >&2
  exit 1
fi

host_stages
sid_stages
pyenv_stages
# Sanitizers, fuzzers (60 s each) and valgrind; then the package as users install it.
stage "hardening: sanitizers, fuzzing, valgrind" bash "$REPO/scripts/hardening.sh" 60
stage "packaging: sdist, wheels, venv installs, stubtest" bash "$REPO/scripts/packaging-check.sh"

echo
echo "=== summary ($((SECONDS - started))s in all)"
printf '%s\n' "${summary[@]}"
if [ $failures -ne 0 ]; then
  echo "FAILED: $failures stage(s)"
  exit 1
fi
echo "all stages passed"
