#!/usr/bin/env bash
# Builds the HTML reference of the serial component's public headers with Doxygen and fails on
# any warning, so that an undocumented public declaration stops CI:
#   bash tools/check-reference.sh [OUTPUT_DIR]     (default build/reference; HTML in OUTPUT_DIR/html)
# The headers are those listed in docs/component/public-headers.txt. Installs doxygen when missing
# (through sudo when not root).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
output=${1:-build/reference}

if ! command -v doxygen >/dev/null; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends doxygen
fi

headers=()
while read -r line; do # read trims the blanks around a line
  line=${line%%#*}
  line=${line%"${line##*[![:space:]]}"}
  [ -n "$line" ] || continue
  [ -f "$line" ] || { echo "docs/component/public-headers.txt names a missing header: $line" >&2; exit 1; }
  headers+=("$line")
done < docs/component/public-headers.txt
[ ${#headers[@]} -gt 0 ] || { echo "docs/component/public-headers.txt lists no header" >&2; exit 1; }

rm -rf "$output/html" # what an earlier run made; nothing else of the folder
mkdir -p "$output"
Q4471_REFERENCE_INPUT="${headers[*]}" Q4471_REFERENCE_OUTPUT="$output" Q4471_REFERENCE_ROOT="$root" \
  doxygen docs/component/Doxyfile
echo "Reference of ${#headers[@]} headers: $output/html/index.html"
