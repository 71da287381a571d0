#!/usr/bin/env bash
# Installs those of the given Debian packages that are missing; refreshes the
# package lists once, and only when something is to be installed. Runs as
# root, or through sudo; on the host and inside the sid root alike.
set -euo pipefail
missing=()
for package in "$@"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "missing packages: ${missing[*]} (run as root, or install them with apt-get)" >&2
    exit 1
  fi
  as_root=(sudo)
fi
echo "installing: ${missing[*]}" >&2
# The sid root's package lists come from a frozen snapshot whose Release
# files have expired; Debian 12's carry no expiry date.
"${as_root[@]}" apt-get -o Acquire::Check-Valid-Until=false update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
