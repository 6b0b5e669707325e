#!/usr/bin/env bash
# Checks the serial component as users of the library get it, from an already built Release tree:
#   bash tools/check-library.sh BUILD_DIR
# installs the runtime, runtime_qt and dev components into a staging prefix; compiles each
# installed header on its own against that prefix only (a public header that includes an internal
# one fails), and checks that app/, memories/ and tools/ include no other of the component's;
# builds examples/ against the prefix with find_package (a package file naming a missing file, or
# a symbol the examples use that the shared library does not export, fails) and with pkg-config;
# runs each example against a pseudo-terminal it creates, checking what it prints (the Qt one
# offscreen); and checks that serial/README.md quotes examples/hello-port.cpp as it is. Any failure
# stops the run.
set -euo pipefail

usage="Usage: bash tools/check-library.sh BUILD_DIR"
[ $# -eq 1 ] || { echo "$usage" >&2; exit 2; }
[ -f "$1/CMakeCache.txt" ] || { echo "$1 is not a CMake build tree. $usage" >&2; exit 2; }
build=$(realpath "$1")
cd "$(dirname "$0")/.."
source=$PWD

step() { printf '\n== %s ==\n' "$*"; }
fail() {
  printf 'check-library: FAILED: %s\n' "$*" >&2
  exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/stage

step "install the runtime, runtime_qt and dev components into $stage"
grep -q '^Q4471_WITH_GUI:BOOL=ON$' "$build/CMakeCache.txt" || fail "$build is built without the GUI"
cmake --build "$build" --target q4471_serial_lib q4471_serial_lib_static q4471_serial_display_lib \
  q4471_serial_display_lib_static q4471_framework_qt_lib q4471_framework_qt_lib_static
for component in runtime runtime_qt dev; do
  cmake --install "$build" --prefix "$stage" --component "$component" >/dev/null
done
include=$stage/include/q4471
libdir=$(dirname "$(find "$stage" -name 'libq4471-serial.so.1' -print -quit)")
[ -n "$libdir" ] && [ "$libdir" != . ] || fail "no libq4471-serial.so.1 installed"
soname=$(objdump -p "$libdir/libq4471-serial.so" | awk '$1 == "SONAME" { print $2 }')
[ "$soname" = libq4471-serial.so.1 ] || fail "the shared library's SONAME is '$soname'"
echo "headers in include/q4471, libraries in ${libdir#"$stage"/} (SONAME $soname)"

step "each public header compiles alone against the installed ones"
qt_flags=$(pkg-config --cflags Qt6Widgets)
compile_header() { # <header relative to include/q4471>
  local flags=()
  case $1 in serial/display/* | framework/qt/*) read -ra flags <<<"$qt_flags" ;; esac
  # Only the staging prefix: the source tree's internal headers are not on the path, and the
  # compiler runs in an empty folder, where it looks first for a quoted include from its input.
  (cd "$empty" && echo "#include \"$1\"" | c++ -std=c++20 -fsyntax-only -Wall -Wextra -Werror \
    -fPIC -I"$include" "${flags[@]}" -x c++ - -o /dev/null) ||
    { echo "  $1 does not compile on its own" >&2; return 1; }
}
export -f compile_header
empty=$work/empty
mkdir "$empty"
export include qt_flags empty
headers=$(cd "$include" && find . -name '*.h' | sed 's#^\./##' | sort)
[ -n "$headers" ] || fail "no headers installed"
echo "$headers" | xargs -P "$(nproc)" -I{} bash -c 'compile_header "$@"' _ {} ||
  fail "a public header needs a header that is not installed"
echo "$(echo "$headers" | wc -l) headers: $(echo "$headers" | tr '\n' ' ')"

step "the programs use only public headers"
# The editor, the memories module and the tools reach the component as a library user does; the
# module they share, serial/diagnostics, is not part of the component.
internal=$(grep -rhoE '#include "(serial|framework)/[^"]+"' app memories tools \
  --include='*.h' --include='*.cpp' | sed -E 's/#include "(.*)"/\1/' | sort -u |
  grep -v '^serial/diagnostics/' | grep -vxF -e "$headers" || true)
[ -z "$internal" ] || fail "app/, memories/ or tools/ include internal headers: $internal"
echo "app/, memories/, tools/: public headers and serial/diagnostics only"

step "the checks see what they should"
# A header that includes an internal one, and a package that names a file it lacks, must fail;
# otherwise the checks above and below would pass whatever the tree holds.
broken=$work/broken
cp -r "$stage" "$broken"
echo '#include "serial/platform/CommPlatform.h"' >>"$broken/include/q4471/serial/Vautils.h"
! include=$broken/include/q4471 compile_header serial/Vautils.h 2>/dev/null ||
  fail "the header check passes a header that includes an internal one"
rm "$(find "$broken" -name 'libq4471-serial.a')"
! cmake -S examples -B "$work/broken-examples" -G Ninja -DCMAKE_PREFIX_PATH="$broken" \
  -DQ4471Serial_DIR="${libdir/#"$stage"/"$broken"}/cmake/Q4471Serial" >/dev/null 2>&1 ||
  fail "find_package(Q4471Serial) passes a package that lacks one of its files"
rm -rf "$broken" "$work/broken-examples"
echo "an internal include and a missing library file are both caught"

step "the component's README shows examples/hello-port.cpp as it is"
sed -n '/^```cpp$/,/^```$/p' serial/README.md | sed '1d;$d' | diff - examples/hello-port.cpp ||
  fail "serial/README.md's complete program differs from examples/hello-port.cpp"
echo "the same"

step "the guide's link lines and quoted code are the examples' own"
guide=docs/component/README.md
# Each find_package and target_link_libraries line of the guide's CMake blocks is one that
# examples/CMakeLists.txt uses, and each line of a block marked "from examples/FILE" is in FILE:
# so the build below compiles and runs what the guide shows.
while IFS= read -r line; do
  grep -qF -- "$line" examples/CMakeLists.txt || fail "the guide's '$line' is not in examples/CMakeLists.txt"
done < <(sed -n '/^```cmake$/,/^```$/p' "$guide" | grep -E '^(find_package|target_link_libraries)\(' | sed 's/ *#.*//')
awk '/^<!-- from examples\/.* -->$/ { file = $3; next }
     file && /^```cpp$/ { inside = 1; next }
     inside && /^```$/ { inside = 0; file = ""; next }
     inside { sub(/^ +/, ""); print file "\t" $0 }' "$guide" |
  while IFS=$'\t' read -r file line; do
    grep -qF -- "$line" "$file" || fail "the guide quotes '$line', which $file does not hold"
  done
echo "the same"

step "examples with find_package(Q4471Serial)"
cmake -S examples -B "$work/examples" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$stage" -DQ4471Serial_DIR="$libdir/cmake/Q4471Serial" \
  -DCMAKE_CXX_FLAGS=-Werror >/dev/null ||
  fail "examples/ does not configure against the installed package"
cmake --build "$work/examples" || fail "examples/ does not build against the installed package"

step "examples with pkg-config"
export PKG_CONFIG_PATH=$libdir/pkgconfig
mkdir -p "$work/pkg-config"
for example in hello-port line-logger request-answer list-ports; do
  # shellcheck disable=SC2046 # the flags are words
  c++ -std=c++20 -Wall -Wextra -Werror examples/$example.cpp -o "$work/pkg-config/$example" \
    $(pkg-config --cflags --libs q4471-serial) -Wl,-rpath,"$libdir" ||
    fail "$example does not build with pkg-config q4471-serial"
done
# shellcheck disable=SC2046
c++ -std=c++20 -fPIC -Wall -Wextra -Werror examples/line-lamps.cpp -o "$work/pkg-config/line-lamps" \
  $(pkg-config --cflags --libs q4471-serial-display) -Wl,-rpath,"$libdir" ||
  fail "line-lamps does not build with pkg-config q4471-serial-display"
echo "hello-port, line-logger, request-answer, list-ports, line-lamps"

step "run each example against a pseudo-terminal"
mkdir -m 700 "$work/runtime"
for folder in "$work/examples" "$work/pkg-config"; do
  XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen python3 tools/run-examples.py "$folder" ||
    fail "the examples of $folder did not do what they should"
done

printf '\ncheck-library: headers, package, pkg-config and examples all passed\n'
