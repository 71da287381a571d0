#!/usr/bin/env bash
# Builds the libFuzzer harnesses (fuzz/, clang) and runs each for a bounded
# time, starting from seeds cut out of the repository's list and corpus.
#   fuzz.sh [SECONDS]          default 60 per fuzzer
# Environment: LOOKUP_FUZZ_BUILD (build directory of the preset fuzz, default
# build/fuzz), LOOKUP_FUZZ_WORK (corpora and crash files, default a scratch
# directory that is kept when a fuzzer fails), LOOKUP_FUZZ_JOBS.
# Exits non-zero when a build fails or a fuzzer finds a crash.
set -uo pipefail

seconds=${1:-60}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
data="$repo/data"
build=${LOOKUP_FUZZ_BUILD:-$repo/build/fuzz}
work=${LOOKUP_FUZZ_WORK:-$(mktemp -d /tmp/lookup-fuzz.XXXXXX)}
jobs=${LOOKUP_FUZZ_JOBS:-2}

echo "fuzz: building in $build"
LOOKUP_JOBS=$jobs bash "$repo/scripts/build-module.sh" fuzz "$build" -- query_fuzzer fast_path_fuzzer builder_fuzzer row_fuzzer \
  || exit 1

# Seeds, made fresh each run: names from the benchmark corpus and the test
# vectors, rule lines of the list, and small lists cut from the real one.
mkdir -p "$work/query" "$work/fast_path" "$work/builder" "$work/row" "$work/crashes"
python3 - "$data" "$work" <<'PY'
import os, random, sys
data, work = sys.argv[1], sys.argv[2]
rng = random.Random(1)
def write(kind, i, data):
    with open(os.path.join(work, kind, f"seed-{i:05d}"), "wb") as f:
        f.write(data)
names = []
with open(os.path.join(data, "bench", "domains.txt"), encoding="utf-8", errors="replace") as f:
    names += [line.strip() for line in f if line.strip()]
with open(os.path.join(data, "psl", "test_psl.txt"), encoding="utf-8", errors="replace") as f:
    for line in f:
        if line.startswith("checkPublicSuffix("):
            arg = line.split("(", 1)[1].split(",", 1)[0].strip()
            if arg != "null":
                names.append(arg.strip("'"))
with open(os.path.join(data, "psl", "public_suffix_list.dat"), encoding="utf-8") as f:
    list_lines = f.read().splitlines()
rules = [l.split()[0] for l in list_lines if l.strip() and not l.startswith("//")]
names += ["a.b." + r.lstrip("!*.") for r in rng.sample(rules, 300)]
names += ["ΟΔΟΣ.example.com", "İ.example", "ẞ.EXAMPLE.COM", "K.example.com", "αΣ-b.com", "ΣΣ.", "example.com..",
          ".", "", "a..b", "A" * 40 + "É.COM"]
picked = rng.sample(names, min(2000, len(names)))
for i, name in enumerate(picked):
    write("query", i, name.encode("utf-8", "surrogatepass"))
    # Fast paths: two bytes picking a node (the root for a third of them), then the name.
    write("fast_path", i, (b"\0\0" if i % 3 == 0 else rng.randbytes(2)) + name.encode("utf-8", "surrogatepass"))
# Rows: a choice byte, then a name as it is or dressed as a URL.
forms = ("{}", "https://{}/", "http://user@{}:8080/p?q#f", "[{}]:443", "{}\t\\x\r")
for i, name in enumerate(picked[:500]):
    write("row", i, bytes([rng.randrange(256)]) + forms[i % len(forms)].format(name).encode("utf-8", "surrogatepass"))
write("row", 500, b"\x03http://[2001:db8::1]:8080/caf\xe9")
icann_end = next(i for i, l in enumerate(list_lines) if "===END ICANN DOMAINS===" in l)
private_start = next(i for i, l in enumerate(list_lines) if "===BEGIN PRIVATE DOMAINS===" in l)
icann = [l for l in list_lines[:icann_end] if l and not l.startswith("//")]
private = [l for l in list_lines[private_start:] if l and not l.startswith("//")]
for i in range(300):
    a = rng.randrange(len(icann) - 40)
    b = rng.randrange(len(private) - 20)
    text = ("// ===BEGIN ICANN DOMAINS===\n" + "\n".join(icann[a:a + rng.randrange(1, 40)]) +
            "\n// ===END ICANN DOMAINS===\n// ===BEGIN PRIVATE DOMAINS===\n" +
            "\n".join(private[b:b + rng.randrange(0, 20)]) + "\n// ===END PRIVATE DOMAINS===\n")
    write("builder", i, text.encode("utf-8"))
write("builder", 300, b"// ===BEGIN ICANN DOMAINS===\ncom\nuk\nco.uk\n*.ck\n!www.ck\n\xe5\x85\xac\xe5\x8f\xb8.\xe9\xa6\x99\xe6\xb8\xaf\n// ===END ICANN DOMAINS===\n// ===BEGIN PRIVATE DOMAINS===\nblogspot.com\n*.example.com\n// ===END PRIVATE DOMAINS===\n")
# Names in both sections with other kinds: the full view takes the strongest.
write("builder", 301, b"// ===BEGIN ICANN DOMAINS===\ncom\nexample.com\n!www.ck\n*.ck\n// ===END ICANN DOMAINS===\n// ===BEGIN PRIVATE DOMAINS===\n*.example.com\nck\n!a.example.com\n// ===END PRIVATE DOMAINS===\n")
PY
[ $? -eq 0 ] || { echo "fuzz: could not write the seeds" >&2; exit 1; }

# The fuzzers at once, side by side.
run_fuzzer() {
  local fuzzer=$1
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/${fuzzer}_fuzzer" "$work/$fuzzer" -max_total_time="$seconds" -max_len=4096 \
      -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/crashes/$fuzzer-" \
      >"$work/$fuzzer.log" 2>&1
}
fuzzers=(query fast_path builder row)
pids=()
echo "fuzz: ${fuzzers[*]} for ${seconds}s each, side by side"
for fuzzer in "${fuzzers[@]}"; do
  run_fuzzer "$fuzzer" &
  pids+=($!)
done
status=0
for i in "${!fuzzers[@]}"; do
  fuzzer=${fuzzers[i]}
  wait "${pids[i]}"
  result=$?
  log="$work/$fuzzer.log"
  echo "fuzz: ${fuzzer}_fuzzer"
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|^#[0-9]+.*DONE" "$log" | sed 's/^/  /'
  # When edge coverage last grew (executions over their rate at that line):
  # the evidence for the budget. A plateau long before the end means the
  # budget could shrink; growth until the end, that it is short.
  awk -v budget="$seconds" '/^#[0-9]+\t/ {
      for (i = 1; i <= NF; i++) {
        if ($i == "cov:") cov = $(i + 1)
        if ($i == "exec/s:") rate = $(i + 1)
      }
      if (cov != seen && rate > 0) { seen = cov; at = substr($1, 2) / rate }
    }
    END { if (seen != "") printf "  edge coverage last grew (to %s) after about %.0fs of %ss\n", seen, at, budget }' "$log"
  if [ $result -ne 0 ]; then
    echo "fuzz: ${fuzzer}_fuzzer FAILED (exit $result); crash inputs in $work/crashes, log $log" >&2
    grep -E -A 30 "ERROR|query_fuzzer:|fast_path_fuzzer:|builder_fuzzer:|row_fuzzer:|runtime error" "$log" | head -n 60 >&2
    status=1
  fi
done
if [ $status -eq 0 ] && [ -z "${LOOKUP_FUZZ_WORK:-}" ]; then
  rm -rf "$work"
fi
exit $status
