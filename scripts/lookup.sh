#!/usr/bin/env bash
# Builds the module for the system's Python 3 (quietly, once) and answers
# lookups with python/lookup_psl_cli.py. Arguments go to the CLI; see --help.
#   scripts/lookup.sh www.example.co.uk
#   scripts/lookup.sh --keep-case < domains.txt
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
python=/usr/bin/python3
build_dir="$repo/build/release"

mkdir -p "$repo/build"
packages_log="$repo/build/packages.log"
bash "$repo/scripts/install-packages.sh" cmake make g++ python3-dev >"$packages_log" 2>&1 || {
  cat "$packages_log" >&2
  exit 1
}
bash "$repo/scripts/build-module.sh" release "$build_dir" -DPython_EXECUTABLE="$python" -- _lookup
LOOKUP_MODULE_DIR="$build_dir" LOOKUP_CLI_NAME="scripts/lookup.sh" \
  exec "$python" "$repo/python/lookup_psl_cli.py" "$@"
