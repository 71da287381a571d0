#!/usr/bin/env bash
# The hardening stage of the test command, on the host (Debian 12), from the
# CMake presets:
#   1. preset sanitize: everything built with ASan + UBSan, halting on the
#      first error; the C++ suites with leak detection and the whole pytest
#      suite (on /usr/bin/python3, the runtime preloaded) under them;
#   2. each libFuzzer harness for a bounded time (scripts/fuzz.sh, preset fuzz);
#   3. preset memcheck: valgrind memcheck over the suite's memcheck part (any
#      error or definite leak whose stack passes through our code fails),
#      then over lookup-psl (two threads, --urls, JSON, a --list compiled);
#      with LOOKUP_MEMCHECK_BUILD, those tests of that build directory instead
#      (one configured with -DLOOKUP_MEMCHECK=ON, as test-all.sh's host
#      build is), so that nothing is built twice.
#
#   hardening.sh [FUZZ_SECONDS]     default 60 per fuzzer
#
# Environment: LOOKUP_JOBS (default 2). Every step runs even after an earlier
# one failed unless it needs its build; exits non-zero when any failed.
set -uo pipefail

fuzz_seconds=${1:-60}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
export LOOKUP_JOBS=${LOOKUP_JOBS:-2}
# ctest finds the presets in the current directory.
cd "$repo" || exit 1
# shellcheck source=scripts/stages.sh
source "$repo/scripts/stages.sh"

stage "hardening: install missing packages" bash "$repo/scripts/install-packages.sh" \
  cmake make g++ libgtest-dev python3-dev python3-pytest python3-numpy \
  clang libclang-rt-14-dev valgrind || exit 1

# build_then_test PRESET NAME [TARGET...]: builds the preset's directory (the
# TARGETs only, when given) and runs its test preset.
build_then_test() {
  local preset=$1 name=$2 targets=()
  shift 2
  [ $# -gt 0 ] && targets=(-- "$@")
  if stage "hardening: build (preset $preset)" bash "$repo/scripts/build-module.sh" "$preset" \
      "$repo/build/$preset" "${targets[@]}"; then
    stage "hardening: $name" ctest --preset "$preset"
  else
    skip "hardening: $name" "the build failed"
  fi
}

build_then_test sanitize "C++ and Python tests under ASan + UBSan"
stage "hardening: libFuzzer, ${fuzz_seconds}s per harness" bash "$repo/scripts/fuzz.sh" "$fuzz_seconds"
memcheck_name="valgrind memcheck over the suite's memcheck part and lookup-psl"
if [ -n "${LOOKUP_MEMCHECK_BUILD:-}" ]; then
  stage "hardening: $memcheck_name (over $LOOKUP_MEMCHECK_BUILD)" \
    ctest --test-dir "$LOOKUP_MEMCHECK_BUILD" --output-on-failure -L memcheck
else
  build_then_test memcheck "$memcheck_name" _lookup _suffix_list _lookup_corrupt lookup-psl
fi
stage_summary "hardening"
