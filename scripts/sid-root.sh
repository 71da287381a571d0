#!/usr/bin/env bash
# Makes (once) and prints the path of a Debian sid root with CPython 3.14 and
# 3.15 (with the debug build), numpy 2, pytest and a C++ toolchain. A second
# call reuses the cached root.
set -euo pipefail
ROOT=${LOOKUP_SID_ROOT:-/var/cache/lookup-sid}
STAMP="$ROOT/.lookup-ready-v1"
PACKAGES=python3.15-dev,python3.15-dbg,python3.14-dev,python3-pytest,python3-numpy,g++,cmake,make,ca-certificates

if [ ! -f "$STAMP" ]; then
  if ! command -v debootstrap >/dev/null; then
    apt-get update -qq >&2 && apt-get install -y -qq debootstrap >&2
  fi
  rm -rf "$ROOT"
  mkdir -p "$(dirname "$ROOT")"
  debootstrap --variant=minbase --include="$PACKAGES" sid "$ROOT" http://deb.debian.org/debian >&2
  touch "$STAMP"
fi
mountpoint -q "$ROOT/proc" || mount -t proc proc "$ROOT/proc"
echo "$ROOT"
