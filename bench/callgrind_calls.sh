#!/usr/bin/env bash
# Instructions per name (callgrind, repeatable on a shared machine) of each
# query over the benchmark corpus: called once per name from a Python loop,
# as one batch call (lookup_psl's *_batch, one thread), and as a method of a
# SuffixList read from the list compiled in, once per name from a loop. Each figure is
# the difference between two passes and none, over the names of two passes,
# so start-up and import cost nothing. subdomain is called with depth 0.
#
#   bench/callgrind_calls.sh MODULE_DIR [QUERY...]
#
# Environment: PYTHON (default /usr/bin/python3).
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 MODULE_DIR [QUERY...]" >&2; exit 2; }
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
module_dir=$(cd "$1" && pwd)
shift
queries=("$@")
[ ${#queries[@]} -gt 0 ] || queries=(publicsuffix privatesuffix is_public is_private privateparts subdomain)
python=${PYTHON:-/usr/bin/python3}

script='
import sys
sys.path.insert(0, sys.argv[1])
import _lookup, lookup_psl
query, how, passes = sys.argv[2], sys.argv[3], int(sys.argv[4])
names = open(sys.argv[5], encoding="utf-8").read().split()
single, batch = getattr(_lookup, query), getattr(lookup_psl, query + "_batch")
if how == "method":
    single = getattr(lookup_psl.SuffixList.from_file(sys.argv[6]), query)
for _ in range(passes):
    if how == "batch":
        batch(names, 0) if query == "subdomain" else batch(names)
    elif query == "subdomain":
        for name in names:
            single(name, 0)
    else:
        for name in names:
            single(name)
'
corpus="$repo/data/bench/domains.txt"
list="$repo/data/psl/public_suffix_list.dat"
names=$(wc -w <"$corpus")

# instructions QUERY HOW PASSES: the program's total.
instructions() {
  PYTHONHASHSEED=0 valgrind --tool=callgrind --callgrind-out-file=/dev/null \
    "$python" -c "$script" "$module_dir" "$1" "$2" "$3" "$corpus" "$list" 2>&1 \
    | sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

printf '%-14s %10s %10s %8s %10s\n' query per-call batch ratio method
for query in "${queries[@]}"; do
  line=$(printf '%-14s' "$query")
  figures=()
  for how in call batch method; do
    none=$(instructions "$query" "$how" 0)
    two=$(instructions "$query" "$how" 2)
    figures+=($(( (two - none) / (2 * names) )))
  done
  printf '%s %10d %10d %8s %10d\n' "$line" "${figures[0]}" "${figures[1]}" \
    "$(awk -v a="${figures[0]}" -v b="${figures[1]}" 'BEGIN { printf "%.2fx", a / b }')" "${figures[2]}"
done
