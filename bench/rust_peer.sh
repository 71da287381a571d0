#!/usr/bin/env bash
# The Rust crate `psl` (Debian sid's librust-psl-dev) as a peer: builds
# bench/rust_psl offline in the Debian sid root (scripts/sid-root.sh) against
# Debian's crate registry, copies the program into the root's /tmp, and
# prints its nanoseconds per name beside the engine's bulk path
# (engine_bench's indexed stage), alternating three rounds each in one run.
# The last line of standard output is the command that runs the program
# from the host (for cli_bench.py --rust-peer); where it cannot be built
# (not root, no sid root, no network for its packages) a note goes to
# standard error and the status is 1.
#
#   bench/rust_peer.sh [ENGINE_BENCH]
set -uo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ENGINE_BENCH=${1:-}
note() { echo "rust_peer.sh: $*; the Rust peer is left out" >&2; exit 1; }

[ "$(id -u)" = 0 ] || note "needs root (chroot into the sid root)"
# shellcheck source=../scripts/sid-mounts.sh
source "$REPO/scripts/sid-mounts.sh"
enter_sid_root "$REPO" >/dev/null || note "no Debian sid root (scripts/sid-root.sh)"
install_into_sid cargo librust-psl-dev >&2 || note "cannot install cargo and librust-psl-dev into the sid root"
target="$REPO/build/rust_psl"
in_sid sh -c "cd '$REPO/bench/rust_psl' && cargo build -q --release --offline --target-dir '$target'" >&2 \
  || note "cargo build failed"
cp "$target/release/psl-peer" "$SID_ROOT/tmp/lookup-psl-peer" || note "cannot copy the program into the root"
peer=(chroot "$SID_ROOT" /tmp/lookup-psl-peer)

corpus="$REPO/data/bench/domains.txt"
cp "$corpus" "$SID_ROOT/tmp/lookup-psl-peer-corpus.txt"
echo "in memory, ns per name over $corpus (the Rust crate on the names lowercased first):"
for round in 1 2 3; do
  "${peer[@]}" bench /tmp/lookup-psl-peer-corpus.txt 9 | sed "s/^/  round $round: /"
  if [ -n "$ENGINE_BENCH" ]; then
    "$ENGINE_BENCH" --benchmark_filter='corpus/indexed/normalize' --benchmark_repetitions=9 \
      --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '_(median|stddev) ' \
      | sed -E "s/^corpus\/indexed\/([^ ]*) .*ns_per_name=([0-9.]+)(n|p)s.*/  round $round: engine bulk path \1 \2 \3s per name/"
  fi
done
echo "${peer[*]} lines"
