#!/usr/bin/env bash
# Makes (once) and prints the path of a Debian sid root with CPython 3.14 and
# 3.15 (with the debug build), numpy 2, pytest, GoogleTest, a C++ toolchain,
# and pyarrow, pandas and Dask for the tests of the Arrow forms on 3.14. A
# second call reuses the cached root and only adds packages that a newer
# version of this script asks for. Mounts /proc in the root and
# leaves it mounted: callers that want it gone unmount it themselves.
set -euo pipefail
ROOT=${LOOKUP_SID_ROOT:-/var/cache/lookup-sid}
STAMP="$ROOT/.lookup-ready-v1"
PACKAGES=python3.15-dev,python3.15-dbg,python3.14-dev,python3-pytest,python3-numpy,g++,cmake,make,ca-certificates
# Added after roots were first cached, and what the test stages install into
# the root (so that a new root gets them in its one download); installed into
# an existing root too.
LATER_PACKAGES=(googletest libgtest-dev python3-pyarrow python3-pandas python3-dask python3-distributed
                ccache pkg-config python3-venv python3.14-venv python3.15-venv python3-pip python3-build
                python3-scikit-build-core python3-mypy man-db)

mkdir -p "$(dirname "$ROOT")"
# Helpers run this in parallel: one makes the root, the others wait for it.
exec 9>"$ROOT.lock"
flock 9

mounts_under_root() {
  awk -v root="$ROOT" '$2 == root || index($2, root "/") == 1 { print $2 }' /proc/self/mounts
}

if [ ! -f "$STAMP" ]; then
  if ! command -v mmdebstrap >/dev/null; then
    apt-get update -qq >&2 && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq mmdebstrap >&2
  fi
  # A half-made root from an interrupted run is thrown away, but never while
  # something is mounted inside it: removing a bind-mounted tree would delete
  # the files it shows.
  if mountpoint -q "$ROOT/proc"; then umount "$ROOT/proc"; fi
  if [ -n "$(mounts_under_root)" ]; then
    echo "sid-root: refusing to remove $ROOT while these are mounted in it:" >&2
    mounts_under_root >&2
    exit 1
  fi
  rm -rf --one-file-system "$ROOT"
  # mmdebstrap resolves with apt (debootstrap's own resolver misses some of
  # pyarrow's libraries) and downloads in parallel: 3 minutes here against
  # about 5 for debootstrap and apt one after the other. Recommended
  # packages (pandas' plotting and spreadsheet readers, say) are not needed.
  later=$(IFS=,; echo "${LATER_PACKAGES[*]}")
  mmdebstrap --variant=minbase --mode=root --aptopt='Acquire::Check-Valid-Until "false"' \
    --aptopt='APT::Install-Recommends "false"' --include="$PACKAGES,$later" \
    sid "$ROOT" http://deb.debian.org/debian >&2
  touch "$STAMP"
fi

missing=()
for package in "${LATER_PACKAGES[@]}"; do
  chroot "$ROOT" dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' \
    || missing+=("$package")
done
mountpoint -q "$ROOT/proc" || mount -t proc proc "$ROOT/proc"
if [ ${#missing[@]} -gt 0 ]; then
  cp /etc/resolv.conf "$ROOT/etc/resolv.conf"
  chroot "$ROOT" apt-get -o Acquire::Check-Valid-Until=false update -qq >&2
  chroot "$ROOT" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >&2
fi
echo "$ROOT"
