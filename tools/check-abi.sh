#!/usr/bin/env bash
# Compares the ABI of the shared libraries a build made with the baselines committed in cmake/abi/
# (abidw's XML, compressed with xz), so that a change that breaks programs built against
# libq4471-serial.so.2 cannot land without a new SONAME:
#   bash tools/check-abi.sh BUILD_DIR            fails on any difference from the baselines
#   bash tools/check-abi.sh BUILD_DIR --update   records the build's ABI as the new baselines
# BUILD_DIR must carry debug information, which abidw reads: CI compares its AddressSanitizer build
# (RelWithDebInfo), and the baselines are recorded from that build, since the optimiser of another
# build keeps other copies of inline code (vtables of classes without a key function). Only the
# types of the installed headers count (public-headers.txt), the libraries export only what
# framework/Export.h marks, and cmake/abi/suppressions.ini leaves out the standard library's
# instances. Installs abigail-tools when missing.
set -euo pipefail
usage="Usage: bash tools/check-abi.sh BUILD_DIR [--update]"
[ $# -ge 1 ] && [ $# -le 2 ] || { echo "$usage" >&2; exit 2; }
[ $# -eq 1 ] || [ "$2" = --update ] || { echo "$usage" >&2; exit 2; }
build=$(realpath "$1")
update=false
[ $# -eq 1 ] || update=true
cd "$(dirname "$0")/.."
baselines=cmake/abi

fail() {
  printf 'check-abi: FAILED: %s\n' "$*" >&2
  exit 1
}

if ! command -v abidiff >/dev/null; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends abigail-tools
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The installed headers, as the build lists them: types declared elsewhere are internal.
list=$build/public-headers.txt
[ -f "$list" ] || fail "$list is missing: configure $build with CMake first"
while read -r header; do
  [ -n "$header" ] || continue
  mkdir -p "$work/headers/$(dirname "$header")"
  cp "$header" "$work/headers/$header"
done <"$list"

# The SONAME link each library's development link names (libq4471-serial.so -> .so.2): a build
# tree may still hold the files of an older SONAME.
libraries=()
for link in "$build"/libq4471-*.so; do
  [ -L "$link" ] && libraries+=("$build/$(readlink "$link")")
done
[ ${#libraries[@]} -gt 0 ] || fail "$build holds no shared library of the component"
grep -q '^Q4471_WITH_GUI:BOOL=ON$' "$build/CMakeCache.txt" ||
  fail "$build is built without the GUI, so the Qt libraries are missing"

mkdir -p "$baselines"
built=()
status=0
for library in "${libraries[@]}"; do
  soname=$(basename "$library")
  built+=("$soname.abi.xz")
  readelf -S "$library" | grep -q '\.debug_info' ||
    fail "$soname has no debug information: build $build as RelWithDebInfo"
  # Hashed type ids and no source paths: the same ABI gives the same file on any checkout.
  abidw --headers-dir "$work/headers" --drop-private-types --no-show-locs --no-corpus-path \
    --type-id-style hash "$library" >"$work/$soname.abi"
  if $update; then
    xz -T1 -c "$work/$soname.abi" >"$baselines/$soname.abi.xz"
    echo "$soname: baseline recorded in $baselines/$soname.abi.xz"
    continue
  fi
  baseline=$baselines/$soname.abi.xz
  if [ ! -f "$baseline" ]; then
    echo "$soname: no baseline; a new library or a new SONAME is recorded with --update" >&2
    status=1
    continue
  fi
  result=0
  xz -dc "$baseline" >"$work/baseline.abi"
  abidiff --suppressions "$baselines/suppressions.ini" "$work/baseline.abi" "$work/$soname.abi" >"$work/report.txt" 2>&1 || result=$?
  # abidiff's status is a bit set: 1 error, 2 usage, 4 ABI changed, 8 a symbol went away. A
  # changed type (4 alone) may break programs as surely: only pure additions are compatible.
  if ((result & 3)); then
    cat "$work/report.txt" >&2
    fail "abidiff could not compare $soname"
  elif ((result & 8)) || grep -Eq '[1-9][0-9]* (Removed|Changed)' "$work/report.txt"; then
    cat "$work/report.txt"
    echo "$soname: INCOMPATIBLE change: programs built against it would break. Raise" \
      "Q4471_SOVERSION in cmake/Library.cmake and record the new baseline with --update." >&2
    status=1
  elif ((result & 4)); then
    cat "$work/report.txt"
    echo "$soname: compatible change (additions only: programs keep working); record it with" \
      "--update, so that taking it back later is seen." >&2
    status=1
  else
    echo "$soname: ABI as recorded"
  fi
done

shopt -s nullglob
# A baseline whose library is no longer built belongs to an old SONAME.
for baseline in "$baselines"/*.abi.xz; do
  name=$(basename "$baseline")
  [[ " ${built[*]} " == *" $name "* ]] && continue
  if $update; then
    rm -f "$baseline"
    echo "$name: removed (no library of that SONAME is built)"
  else
    echo "$name: no library of that SONAME is built; remove it with --update" >&2
    status=1
  fi
done
[ $status -eq 0 ] || fail "the ABI differs from cmake/abi/ (see above)"
