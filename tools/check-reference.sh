#!/usr/bin/env bash
# Builds the HTML reference of the serial component's public headers with Doxygen and fails on
# any warning, so that an undocumented public declaration stops CI:
#   bash tools/check-reference.sh BUILD_DIR [OUTPUT_DIR]   (default build/reference; HTML in
#                                                         OUTPUT_DIR/html)
# The headers are the installed ones, as the configured BUILD_DIR lists them in public-headers.txt
# (cmake/Library.cmake). Installs doxygen when missing (through sudo when not root).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
[ $# -ge 1 ] || { echo "Usage: bash tools/check-reference.sh BUILD_DIR [OUTPUT_DIR]" >&2; exit 2; }
build=$1
output=${2:-build/reference}

if ! command -v doxygen >/dev/null; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends doxygen
fi

list=$build/public-headers.txt
[ -f "$list" ] || { echo "$list is missing: configure $build with CMake first" >&2; exit 1; }
headers=()
while read -r line; do
  [ -n "$line" ] || continue
  [ -f "$line" ] || { echo "$list names a missing header: $line" >&2; exit 1; }
  headers+=("$line")
done < "$list"
[ ${#headers[@]} -gt 0 ] || { echo "$list lists no header" >&2; exit 1; }

rm -rf "$output/html" # what an earlier run made; nothing else of the folder
mkdir -p "$output"
Q4471_REFERENCE_INPUT="${headers[*]}" Q4471_REFERENCE_OUTPUT="$output" Q4471_REFERENCE_ROOT="$root" \
  doxygen docs/component/Doxyfile
echo "Reference of ${#headers[@]} headers: $output/html/index.html"
