# Bind mounts into the Debian sid root, undone by an EXIT trap; sourced by the
# scripts that run stages there. Callers set SID_ROOT before binding.
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

unmount_all() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}"
  done
  mounted=()
}
trap unmount_all EXIT
trap 'exit 130' INT TERM
