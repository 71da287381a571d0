#!/usr/bin/env bash
# Proves that the project installs the way Python packages install, inside
# the cached Debian sid root (scripts/sid-root.sh), for each of its CPython
# versions:
#   - an sdist of the working tree, unpacked;
#   - `pip wheel --no-build-isolation --no-deps --no-index` from the tree and
#     from the unpacked sdist; both wheels must hold the same files;
#   - the sdist's wheel installed with --no-index into a fresh venv, and the
#     whole pytest suite run against that installed module;
#   - the installed stub checked with mypy.stubtest and by type-checking
#     tests/typing/stub_usage.py with mypy --strict;
#   - the command-line tests through the installed lookup-psl command.
# Run as root on the host (it installs missing packages into the root and
# bind-mounts the repository there). Exit status non-zero when
# any step failed.
#   LOOKUP_PACKAGING_DIR   work directory (default: build/packaging)
#   LOOKUP_PACKAGING_PYTHONS   interpreters (default: "python3.14 python3.15")
set -uo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
WORK=${LOOKUP_PACKAGING_DIR:-$REPO/build/packaging}
read -r -a PYTHONS <<<"${LOOKUP_PACKAGING_PYTHONS:-python3.14 python3.15}"
SID_PACKAGES=(python3-scikit-build-core python3-pip python3-venv python3-build python3-mypy
              python3.14-venv python3.15-venv python3-pytest python3-numpy)
SID_PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

summary=()
failures=0

# step NAME COMMAND...: runs one step, logs how it went.
step() {
  local name=$1 begin=$SECONDS status
  shift
  echo "--- $name"
  "$@"
  status=$?
  if [ $status -eq 0 ]; then
    summary+=("PASS  $name ($((SECONDS - begin))s)")
  else
    summary+=("FAIL  $name (exit $status)")
    failures=$((failures + 1))
  fi
  return $status
}

finish() {
  echo
  printf '%s\n' "${summary[@]}"
  if [ $failures -ne 0 ]; then
    echo "packaging check FAILED: $failures step(s)"
    exit 1
  fi
  echo "packaging check passed"
}

# ---- inside the root -----------------------------------------------------

# wheel PYTHON SOURCE_DIR OUT_DIR
wheel() {
  rm -rf "$3"
  "$1" -m pip wheel -q --no-build-isolation --no-deps --no-index -w "$3" "$2"
}

# same_files WHEEL_DIR_A WHEEL_DIR_B: both hold one wheel with the same
# member names.
same_files() {
  python3 - "$1" "$2" <<'EOF'
import pathlib, sys, zipfile
lists = []
for directory in sys.argv[1:]:
    wheels = sorted(pathlib.Path(directory).glob("*.whl"))
    if len(wheels) != 1:
        sys.exit(f"{directory}: expected one wheel, found {[w.name for w in wheels]}")
    with zipfile.ZipFile(wheels[0]) as archive:
        lists.append(sorted(archive.namelist()))
    print(f"{wheels[0].name}: {len(lists[-1])} files")
if lists[0] != lists[1]:
    sys.exit(f"the wheels differ: {sorted(set(lists[0]) ^ set(lists[1]))}")
EOF
}

# expect_members WHEEL_DIR VERSION: the wheel is tagged for CPython VERSION
# and holds its module, both stubs, the lookup-psl executable and the license files.
expect_members() {
  python3 - "$1" "${2//./}" <<'EOF'
import pathlib, re, sys, zipfile
wheel = next(pathlib.Path(sys.argv[1]).glob("*.whl"))
tag = sys.argv[2]
if f"-cp{tag}-cp{tag}-" not in wheel.name:
    sys.exit(f"{wheel.name} is not tagged for CPython {tag}")
names = zipfile.ZipFile(wheel).namelist()
wanted = [rf"_lookup\.cpython-{tag}-[^/]+\.so", r"_lookup\.pyi", r"_lookup-stubs/__init__\.pyi",
          r".*\.dist-info/licenses/LICENSE", r".*\.dist-info/licenses/LICENSES/MPL-2\.0\.txt",
          r".*\.dist-info/licenses/NOTICE", r"lookup_psl-[^/]+\.data/scripts/lookup-psl",
          r"lookup_psl/__init__\.py", r"lookup_psl/__main__\.py", r"lookup_psl/py\.typed",
          r"lookup_psl/_suffix_list\.pyi", rf"lookup_psl/_suffix_list\.cpython-{tag}-[^/]+\.so"]
missing = [pattern for pattern in wanted if not any(re.fullmatch(pattern, n) for n in names)]
if missing:
    sys.exit(f"{wheel.name} lacks {missing}; it holds {names}")
EOF
}

make_venv() {
  rm -rf "$2"
  "$1" -m venv --system-site-packages "$2" &&
    "$2/bin/python" -m pip install -q --no-index --no-deps "$3"/*.whl
}

site_packages() {
  "$1/bin/python" -c 'import sysconfig; print(sysconfig.get_path("platlib"))'
}

# The suite's corrupt-table module is a test fixture, never installed: it is
# built on its own. CMake needs the interpreter's full path: given a bare
# name it silently picks the default python3.
corrupt_build() {
  local python
  python=$(command -v "$1") || return 1
  rm -rf "$2"
  LOOKUP_JOBS=2 bash "$REPO/scripts/build-module.sh" "$2" "$python" -DLOOKUP_BUILD_TESTS=ON \
    -DLOOKUP_BUILD_BENCH=OFF -- _lookup_corrupt
}

installed_pytest() {
  local venv=$1 corrupt=$2 site
  site=$(site_packages "$venv") || return 1
  # The command-line tests run in their own step, through the installed command.
  (cd "$WORK" && env PYTHONDONTWRITEBYTECODE=1 LOOKUP_MODULE_DIR="$site" \
     LOOKUP_CORRUPT_MODULE_DIR="$corrupt" \
     "$venv/bin/python" -m pytest -q -rs -p no:cacheprovider "$REPO/tests/python" \
       --ignore "$REPO/tests/python/test_cli.py")
  local status=$?
  [ $status -eq 5 ] && echo "pytest collected no tests"
  return $status
}

# The command-line tests once more, through the installed lookup-psl.
installed_cli() {
  local venv=$1 site
  site=$(site_packages "$venv") || return 1
  (cd "$WORK" && env PYTHONDONTWRITEBYTECODE=1 LOOKUP_MODULE_DIR="$site" \
     LOOKUP_CLI_COMMAND="$venv/bin/lookup-psl" \
     "$venv/bin/python" -m pytest -q -p no:cacheprovider "$REPO/tests/python/test_cli.py")
}

# stubtest passes silently when mypy cannot find the stub of a module with
# a private name, so mypy must first resolve _lookup to the installed stub:
# the usage file fails with import-not-found otherwise. stubtest takes the
# package's submodules (lookup_psl._suffix_list) with the package itself;
# naming them again makes mypy see each twice.
stub_checks() {
  local venv=$1
  (cd "$WORK" &&
     "$venv/bin/python" -m mypy --strict --warn-unused-ignores --no-incremental \
       "$REPO/tests/typing/stub_usage.py" "$REPO/tests/typing/package_usage.py" &&
     "$venv/bin/python" -m mypy.stubtest _lookup lookup_psl)
}

inside() {
  local python version dir sdist
  mkdir -p "$WORK"
  export CMAKE_BUILD_PARALLEL_LEVEL=2
  step "sdist" python3 -m build -q --sdist --no-isolation --outdir "$WORK/dist" "$REPO" || {
    finish
    return
  }
  sdist=$(ls -t "$WORK"/dist/*.tar.gz | head -n 1)
  rm -rf "$WORK/sdist" && mkdir -p "$WORK/sdist" && tar -xzf "$sdist" -C "$WORK/sdist" --strip-components=1
  echo "$(basename "$sdist"): $(tar -tzf "$sdist" | wc -l) files"
  for python in "${PYTHONS[@]}"; do
    version=${python#python}
    dir="$WORK/$version"
    mkdir -p "$dir"
    step "$version: wheel from the tree" wheel "$python" "$REPO" "$dir/tree-wheel"
    if ! step "$version: wheel from the unpacked sdist" wheel "$python" "$WORK/sdist" "$dir/sdist-wheel"; then
      continue
    fi
    step "$version: wheel contents" expect_members "$dir/sdist-wheel" "$version"
    [ -d "$dir/tree-wheel" ] && step "$version: tree and sdist wheels alike" \
      same_files "$dir/tree-wheel" "$dir/sdist-wheel"
    step "$version: install into a fresh venv (--no-index)" \
      make_venv "$python" "$dir/venv" "$dir/sdist-wheel" || continue
    step "$version: stubtest and typed usage" stub_checks "$dir/venv"
    step "$version: the installed lookup-psl command" installed_cli "$dir/venv"
    if step "$version: corrupt-table fixture" corrupt_build "$python" "$dir/corrupt-build"; then
      step "$version: pytest against the installed module" \
        installed_pytest "$dir/venv" "$dir/corrupt-build/corrupt"
    fi
  done
  finish
}

if [ "${1:-}" = --inside ]; then
  inside
  exit
fi

# ---- on the host ---------------------------------------------------------
SID_ROOT=${LOOKUP_SID_ROOT:-/var/cache/lookup-sid}
# shellcheck source=scripts/sid-mounts.sh
source "$REPO/scripts/sid-mounts.sh"

# Installs what the check needs into a root made by any version of
# sid-root.sh; under the root's lock, as sid-root.sh itself does.
install_sid_packages() {
  local missing=() package
  for package in "${SID_PACKAGES[@]}"; do
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

proc_was_mounted=0
mountpoint -q "$SID_ROOT/proc" && proc_was_mounted=1
SID_ROOT=$(LOOKUP_SID_ROOT=$SID_ROOT bash "$REPO/scripts/sid-root.sh") || { echo "error: no sid root" >&2; exit 1; }
[ $proc_was_mounted -eq 1 ] || mounted+=("$SID_ROOT/proc")
install_sid_packages || { echo "error: cannot install ${SID_PACKAGES[*]} into $SID_ROOT" >&2; exit 1; }
mkdir -p "$WORK" && WORK=$(cd "$WORK" && pwd -P)
bind_into_root "$REPO" && bind_into_root "$WORK" \
  || { echo "error: cannot bind-mount the repository into $SID_ROOT" >&2; exit 1; }
begin=$SECONDS
chroot "$SID_ROOT" env -i PATH="$SID_PATH" HOME=/root LANG=C.UTF-8 \
  LOOKUP_PACKAGING_DIR="$WORK" LOOKUP_PACKAGING_PYTHONS="${PYTHONS[*]}" \
  bash "$REPO/scripts/packaging-check.sh" --inside
status=$?
echo "packaging check took $((SECONDS - begin))s"
exit $status
