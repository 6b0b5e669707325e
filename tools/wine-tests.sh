#!/usr/bin/env bash
# The serial component and its Qt-free tests built for 64-bit Windows (mingw-w64) into build/win64
# and run under Wine, on pseudo-terminals mapped as COM ports (tools/wine/, docs/windows.md).
# Wine missing or unable to start fails the step: it is never skipped.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(wine wine64 bubblewrap g++-mingw-w64-x86-64-posix googletest cmake ninja-build)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

source tools/wine/wine-sandbox.sh
# One prefix and wineserver for the whole run, the build's test discovery included.
prefix=$(wine_session_start)
trap 'wine_session_end "$prefix"' EXIT
export Q4471_WINE_PREFIX=$prefix

cmake -S . -B build/win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DQ4471_WERROR=ON
cmake --build build/win64 -j "$(nproc)"
# One test at a time: side by side on two cores, a program that had passed now and then outlives
# the half second Wine's server gives an ending process, and is killed (docs/windows.md).
(cd build/win64 && ctest --output-on-failure --no-tests=error)
