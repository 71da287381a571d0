# The Debian sid root (scripts/sid-root.sh) for the scripts that run stages
# there, with bind mounts undone by an EXIT trap. Sourced.
#   enter_sid_root DIR...   makes or reuses the root (SID_ROOT) and shows
#                           each DIR at its own path in it
#   install_into_sid PACKAGE...   installs those that the root lacks
#   in_sid COMMAND...       runs a command in the root with a clean environment
#                           (and the compiler launcher and ccache's base
#                           directory and sloppiness, when they are set)
#   unmount_all             undoes the mounts (the EXIT trap does too)
SID_ROOT=${LOOKUP_SID_ROOT:-/var/cache/lookup-sid}
SID_PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
mounted=()

# Shows the host's directory PATH at the same path in the root, unless the
# root already shows it (through a bind mount of a parent, for instance).
bind_into_root() {
  local source target
  source=$(readlink -f "$1")
  target="$SID_ROOT$1"
  if [ -d "$target" ] && [ "$(stat -L -c %d:%i "$source")" = "$(stat -L -c %d:%i "$target")" ]; then
    return 0
  fi
  mkdir -p "$target" && mount --bind "$source" "$target" || return 1
  mounted+=("$target")
}

# sid-root.sh leaves /proc mounted in the root; it is unmounted again only
# when this run mounted it.
enter_sid_root() {
  local proc_was_mounted=0 dir
  mountpoint -q "$SID_ROOT/proc" && proc_was_mounted=1
  SID_ROOT=$(LOOKUP_SID_ROOT=$SID_ROOT bash "$(dirname "${BASH_SOURCE[0]}")/sid-root.sh") || return 1
  [ $proc_was_mounted -eq 1 ] || mounted+=("$SID_ROOT/proc")
  for dir in "$@"; do
    bind_into_root "$dir" || return 1
  done
}

# Under the root's lock, as sid-root.sh itself installs; the root's package
# lists come from a frozen snapshot whose Release files have expired.
install_into_sid() {
  local missing=() package
  for package in "$@"; do
    chroot "$SID_ROOT" dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' \
      || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing into $SID_ROOT: ${missing[*]}"
  (
    flock 9
    cp /etc/resolv.conf "$SID_ROOT/etc/resolv.conf"
    chroot "$SID_ROOT" apt-get -qq -o Acquire::Check-Valid-Until=false update &&
      chroot "$SID_ROOT" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        --no-install-recommends "${missing[@]}"
  ) 9>"$SID_ROOT.lock"
}

in_sid() {
  chroot "$SID_ROOT" env -i PATH="$SID_PATH" HOME=/root LANG=C.UTF-8 LOOKUP_JOBS="${LOOKUP_JOBS:-2}" \
    ${CMAKE_CXX_COMPILER_LAUNCHER:+CMAKE_CXX_COMPILER_LAUNCHER="$CMAKE_CXX_COMPILER_LAUNCHER"} \
    ${CCACHE_BASEDIR:+CCACHE_BASEDIR="$CCACHE_BASEDIR"} ${CCACHE_SLOPPINESS:+CCACHE_SLOPPINESS="$CCACHE_SLOPPINESS"} "$@"
}

unmount_all() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}"
  done
  mounted=()
}
trap unmount_all EXIT
trap 'exit 130' INT TERM
