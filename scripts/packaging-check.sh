#!/usr/bin/env bash
# Proves that the project installs the way Python packages install, inside
# the cached Debian sid root (scripts/sid-root.sh), for each of its CPython
# versions. This script prepares what is installed:
#   - an sdist of the working tree, and the list of the files git tracks;
#   - one `pip wheel --no-build-isolation --no-deps --no-index` per
#     interpreter, from the tree, in build/wheel-VERSION (kept, at the depth
#     of the other build directories, so that ccache serves it);
#   - that wheel installed with --no-index into a fresh venv;
#   - a build of the corrupt-table fixture (build/packaging-VERSION)
#     configured with LOOKUP_PACKAGE_CHECK_DIR, whose ctest tests labelled
#     packaging then check it all: the sdist holds every tracked file but the
#     excluded ones (so it builds what the tree builds), the wheel's tag and
#     contents, the installed stub (mypy stubtest and mypy --strict over
#     tests/typing/stub_usage.py), and the whole pytest suite against the
#     installed module and the installed lookup-psl command.
# Run as root on the host (it installs missing packages into the root and
# bind-mounts the repository there). Exit status non-zero when
# any step failed.
#   LOOKUP_PACKAGING_DIR   work directory (default: build/packaging)
#   LOOKUP_PACKAGING_PYTHONS   interpreters (default: "python3.14 python3.15")
set -uo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
WORK=${LOOKUP_PACKAGING_DIR:-$REPO/build/packaging}
read -r -a PYTHONS <<<"${LOOKUP_PACKAGING_PYTHONS:-python3.14 python3.15}"
# ccache serves the builds when the caller sets CMAKE_CXX_COMPILER_LAUNCHER
# (test-all.sh does).
SID_PACKAGES=(python3-scikit-build-core python3-pip python3-venv python3-build python3-mypy
              python3.14-venv python3.15-venv python3-pytest python3-numpy ccache man-db)

# ---- inside the root -----------------------------------------------------

# wheel PYTHON SOURCE_DIR OUT_DIR BUILD_DIR
wheel() {
  rm -rf "$3"
  "$1" -m pip wheel -q --no-build-isolation --no-deps --no-index -C build-dir="$4" -w "$3" "$2"
}

make_venv() {
  rm -rf "$2"
  "$1" -m venv --system-site-packages "$2" &&
    "$2/bin/python" -m pip install -q --no-index --no-deps "$3"/*.whl
}

inside() {
  local python version dir sdist
  # shellcheck source=scripts/stages.sh
  source "$REPO/scripts/stages.sh"
  mkdir -p "$WORK"
  export CMAKE_BUILD_PARALLEL_LEVEL=2
  if ! stage "sdist" python3 -m build -q --sdist --no-isolation --outdir "$WORK/dist" "$REPO"; then
    stage_summary "packaging check"
    return
  fi
  sdist=$(ls -t "$WORK"/dist/*.tar.gz | head -n 1)
  echo "$(basename "$sdist"): $(tar -tzf "$sdist" | wc -l) files"
  for python in "${PYTHONS[@]}"; do
    version=${python#python}
    dir="$WORK/$version"
    mkdir -p "$dir"
    stage "$version: wheel" wheel "$python" "$REPO" "$dir/wheel" "$REPO/build/wheel-$version" \
      && stage "$version: install into a fresh venv (--no-index)" make_venv "$python" "$dir/venv" "$dir/wheel" \
      || continue
    # The suite's corrupt-table module is a test fixture, never installed: it
    # is built on its own, with the wheel's compiler, so that ccache serves
    # the objects they share. CMake needs the interpreter's full path: given
    # a bare name it silently picks the default python3.
    stage "$version: corrupt-table fixture and the packaging tests (preset host)" \
      bash "$REPO/scripts/build-module.sh" host "$REPO/build/packaging-$version" \
        -DPython_EXECUTABLE="$(command -v "$python")" -DCMAKE_CXX_COMPILER="$(interpreter_cxx "$python")" -DLOOKUP_BUILD_BENCH=OFF \
        -DLOOKUP_PACKAGE_CHECK_DIR="$dir" -- _lookup_corrupt \
      && stage "$version: ctest -L packaging" \
           ctest --test-dir "$REPO/build/packaging-$version" --output-on-failure -j 2 -L packaging
  done
  stage_summary "packaging check"
}

if [ "${1:-}" = --inside ]; then
  inside
  exit
fi

# ---- on the host ---------------------------------------------------------
# shellcheck source=scripts/sid-mounts.sh
source "$REPO/scripts/sid-mounts.sh"

mkdir -p "$WORK" && WORK=$(cd "$WORK" && pwd -P)
# The sid root has no git: what the sdist must hold is listed here.
git -C "$REPO" ls-files >"$WORK/tracked-files.txt" || { echo "error: git cannot list $REPO" >&2; exit 1; }
enter_sid_root "$REPO" "$WORK" || { echo "error: no sid root, or cannot mount the repository in it" >&2; exit 1; }
install_into_sid "${SID_PACKAGES[@]}" || { echo "error: cannot install ${SID_PACKAGES[*]} into $SID_ROOT" >&2; exit 1; }
in_sid env LOOKUP_PACKAGING_DIR="$WORK" LOOKUP_PACKAGING_PYTHONS="${PYTHONS[*]}" \
  bash "$REPO/scripts/packaging-check.sh" --inside
