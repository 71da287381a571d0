#!/usr/bin/env bash
# The hardening stage of the test command, on the host (Debian 12):
#   1. the engine, builder, gtest suites and module built with ASan + UBSan
#      (LOOKUP_SANITIZE), halting on the first error;
#   2. the gtest suites (ctest) under them, leak detection on;
#   3. the whole pytest suite on /usr/bin/python3 with the sanitized module
#      (the runtime preloaded; leak detection off for the interpreter);
#   4. each libFuzzer harness for a bounded time (scripts/fuzz.sh);
#   5. valgrind memcheck over part of the pytest suite with a plain build;
#      any error or definite leak whose stack passes through our code fails;
#      then over lookup-psl (two threads, --urls, JSON, a --list compiled).
#
#   hardening.sh [FUZZ_SECONDS]     default 60 per fuzzer
#
# Environment: LOOKUP_HARDENING_BUILD (build directories' parent, default
# build/ in the repository), LOOKUP_JOBS (default 2). Every step runs even
# after an earlier one failed unless it needs its build; exits non-zero when
# any failed.
set -uo pipefail

fuzz_seconds=${1:-60}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
builds=${LOOKUP_HARDENING_BUILD:-$repo/build}
export LOOKUP_JOBS=${LOOKUP_JOBS:-2}
python=/usr/bin/python3
sanitized="$builds/sanitize"
plain="$builds/valgrind"

failures=0
summary=()
step() {
  local name=$1 begin=$SECONDS status
  shift
  echo
  echo "=== hardening: $name"
  "$@"
  status=$?
  if [ $status -eq 0 ]; then
    summary+=("PASS  $name ($((SECONDS - begin))s)")
  else
    summary+=("FAIL  $name ($((SECONDS - begin))s, exit $status)")
    failures=$((failures + 1))
  fi
  return $status
}

step "install missing packages" bash "$repo/scripts/install-packages.sh" \
  cmake make g++ libgtest-dev python3-dev python3-pytest python3-numpy \
  clang libclang-rt-14-dev valgrind || exit 1

libasan=$(g++ -print-file-name=libasan.so)
libstdcxx=$(g++ -print-file-name=libstdc++.so.6)
# halt_on_error: UBSan stops like ASan does; the build adds
# -fno-sanitize-recover=all, this covers the runtime's own checks too.
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

sanitized_build() {
  # -O1 keeps the build quick and the stacks readable.
  bash "$repo/scripts/build-module.sh" "$sanitized" "$python" \
    -DLOOKUP_SANITIZE=ON -DLOOKUP_BUILD_TESTS=ON \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"
}

sanitized_ctest() {
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1 \
    ctest --test-dir "$sanitized" --output-on-failure -j "$LOOKUP_JOBS"
}

# The interpreter is not instrumented: the runtime goes first, and the C++
# library with it, so that ASan finds the real __cxa_throw when the module
# throws (python3 itself does not link libstdc++). The file left out limits
# the address space to exhaust memory: ASan's operator new reports and aborts
# instead of throwing std::bad_alloc, and its runtime needs address space of
# its own, so those paths run only in the plain stages.
sanitized_pytest() {
  env LD_PRELOAD="$libasan $libstdcxx" \
    ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1 \
    PYTHONDONTWRITEBYTECODE=1 PYTHONMALLOC=malloc \
    LOOKUP_MODULE_DIR="$sanitized" LOOKUP_CORRUPT_MODULE_DIR="$sanitized/corrupt" \
    "$python" -m pytest -q -rs -p no:cacheprovider "$repo/tests/python" \
      --ignore "$repo/tests/python/test_memory_exhaustion.py"
}

fuzz() {
  LOOKUP_FUZZ_BUILD="$builds/fuzz" bash "$repo/scripts/fuzz.sh" "$fuzz_seconds"
}

plain_build() {
  bash "$repo/scripts/build-module.sh" "$plain" "$python" \
    -DLOOKUP_BUILD_TESTS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -- _lookup _lookup_corrupt lookup-psl
}

valgrind_cli() {
  local corpus="$repo/data/bench/domains.txt"
  valgrind --tool=memcheck --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite -q \
    "$plain/lookup-psl" -j 2 --urls --json --depth 1 --list "$repo/data/psl/public_suffix_list.dat" \
    -f "$corpus" >/dev/null
}

# Memcheck over the call-shape, conversion and query tests. The interpreter
# runs with the system allocator so that memcheck sees every block; its own
# reports (there are a few on 3.11) are left aside, ours fail the step.
valgrind_run() {
  local log="$builds/valgrind.log"
  rm -f "$log".*
  env PYTHONDONTWRITEBYTECODE=1 PYTHONMALLOC=malloc \
    LOOKUP_MODULE_DIR="$plain" LOOKUP_CORRUPT_MODULE_DIR="$plain/corrupt" \
    valgrind --tool=memcheck --error-exitcode=0 --leak-check=full --show-leak-kinds=definite \
      --errors-for-leak-kinds=definite --num-callers=40 --trace-children=no --log-file="$log.%p" \
      "$python" -m pytest -q -p no:cacheprovider -x \
        "$repo/tests/python/test_call_shape.py" "$repo/tests/python/test_conversion.py" \
        "$repo/tests/python/test_label_queries.py" "$repo/tests/python/test_suffix_queries.py" \
        "$repo/tests/python/test_hostile_input.py" -k "not ten_mib and not million and not threads and not race and not flat" \
    || return 1
  "$python" - "$log".* <<'PY'
import re, sys
ours = re.compile(r"_lookup\.cpython|lookup::|/src/(engine|cpython|module|builder)/")
total = found = 0
for path in sys.argv[1:]:
    text = open(path, errors="replace").read()
    # Records are separated by blank "==PID== " lines.
    blocks = re.split(r"\n==\d+== \n", text)
    for block in blocks:
        if not re.search(r"Invalid (read|write|free)|uninitialised|Mismatched free|overlap|definitely lost|"
                         r"Syscall param|fishy|Argument .* of function", block):
            continue
        total += 1
        if ours.search(block):
            found += 1
            print(block.strip() + "\n")
print(f"valgrind: {total} report(s) in all, {found} through our code")
sys.exit(1 if found else 0)
PY
}

if step "sanitized build (ASan + UBSan)" sanitized_build; then
  step "gtest suites under ASan + UBSan, leak detection on" sanitized_ctest
  step "pytest on $($python -c 'import platform; print(platform.python_version())') with the sanitized module" sanitized_pytest
else
  summary+=("SKIP  sanitized ctest and pytest: the build failed")
fi
step "libFuzzer, ${fuzz_seconds}s per harness" fuzz
if step "plain build for valgrind" plain_build; then
  step "valgrind memcheck over part of the pytest suite" valgrind_run
  step "valgrind memcheck over lookup-psl" valgrind_cli
else
  summary+=("SKIP  valgrind: the build failed")
fi

echo
echo "=== hardening: summary"
printf '%s\n' "${summary[@]}"
[ $failures -eq 0 ] || { echo "hardening: $failures step(s) failed"; exit 1; }
echo "hardening: all steps passed"
