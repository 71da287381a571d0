#!/usr/bin/env bash
# Builds the lookup-psl command (quietly, once) and answers lookups with it.
# Arguments go to the command; see --help.
#   scripts/lookup.sh www.example.co.uk
#   scripts/lookup.sh --keep-case < domains.txt
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
build_dir="$repo/build/cli"

mkdir -p "$repo/build"
packages_log="$repo/build/packages.log"
bash "$repo/scripts/install-packages.sh" cmake make g++ >"$packages_log" 2>&1 || {
  cat "$packages_log" >&2
  exit 1
}
# The command needs no interpreter: the preset cli builds no Python module.
bash "$repo/scripts/build-module.sh" cli "$build_dir" -- lookup-psl
exec -a scripts/lookup.sh "$build_dir/lookup-psl" "$@"
