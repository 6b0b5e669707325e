#!/usr/bin/env bash
# Checks the serial component as users of the library get it, from an already built Release tree:
#   bash tools/check-library.sh BUILD_DIR
# installs the library's components (runtime, runtime_qt, dev, dev_qt) into a staging prefix and
# checks that they hold the libraries alone; compiles each installed header on its own against that
# prefix only, as <q4471/...>, after a program's own Exception, TThread, Application and the like
# (a public header that includes an internal one, or puts a generic name at global scope, fails);
# checks that a program including an internal header fails to compile, against the installed
# package and against the build tree's targets, and that the tree includes the component's headers
# as a program does;
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
# The libraries' SONAME number (Q4471_SOVERSION in cmake/Library.cmake).
soversion=$(sed -n 's/^set(Q4471_SOVERSION \([0-9]*\))$/\1/p' cmake/Library.cmake)
[ -n "$soversion" ] || { echo "no Q4471_SOVERSION in cmake/Library.cmake" >&2; exit 1; }

step() { printf '\n== %s ==\n' "$*"; }
fail() {
  printf 'check-library: FAILED: %s\n' "$*" >&2
  exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/stage

components=(runtime runtime_qt dev dev_qt)
step "install the components ${components[*]} into $stage"
grep -q '^Q4471_WITH_GUI:BOOL=ON$' "$build/CMakeCache.txt" || fail "$build is built without the GUI"
cmake --build "$build" --target q4471_serial_lib q4471_serial_lib_static q4471_serial_display_lib \
  q4471_serial_display_lib_static q4471_framework_qt_lib q4471_framework_qt_lib_static
for component in "${components[@]}"; do
  cmake --install "$build" --prefix "$stage" --component "$component" >/dev/null
done
include=$stage/include
[ "$(ls "$include")" = q4471 ] || fail "include/ holds $(ls "$include" | tr '\n' ' '), not q4471/ alone"
# Beside the libraries only their packages' copyright, changelog and lintian overrides.
[ ! -e "$stage/bin" ] && [ "$(ls "$stage/share")" = "$(printf 'doc\nlintian')" ] ||
  fail "the library's components install programs or their data"
libdir=$(dirname "$(find "$stage" -name "libq4471-serial.so.$soversion" -print -quit)")
[ -n "$libdir" ] && [ "$libdir" != . ] || fail "no libq4471-serial.so.$soversion installed"
soname=$(objdump -p "$libdir/libq4471-serial.so" | awk '$1 == "SONAME" { print $2 }')
[ "$soname" = libq4471-serial.so.$soversion ] || fail "the shared library's SONAME is '$soname'"
case ${libdir#"$stage"/} in lib/*-*-*) ;; *) fail "the libraries are in ${libdir#"$stage"/}, not lib/<triplet>" ;; esac
echo "headers in include/q4471, libraries in ${libdir#"$stage"/} (SONAME $soname)"

step "each public header compiles alone against the installed ones, beside a program's own names"
qt_flags=$(pkg-config --cflags Qt6Widgets)
# Generic names a program may have for itself: a header that declares one of them at global scope,
# or names one without its namespace, fails to compile after them.
own_names='class Exception {}; class EConvertError {}; class TObject {}; class TPersistent {};
class TComponent {}; class TOperation {}; class TThread {}; class TThreadPriority {};
class TSyncHandOver {}; class TMutex {}; class TLockGuard {}; class TUniqueLock {};
class Application {}; class TStopSignals {}; class PlainFrameworkBinding {};
class QtFrameworkBinding {};'
compile_header() { # <header relative to include/q4471>
  local flags=()
  case $1 in serial/display/* | framework/qt/*) read -ra flags <<<"$qt_flags" ;; esac
  # Only the staging prefix: the source tree's internal headers are not on the path, and the
  # compiler runs in an empty folder, where it looks first for a quoted include from its input.
  (cd "$empty" && printf '%s\n#include <q4471/%s>\n' "$own_names" "$1" |
    c++ -std=c++20 -fsyntax-only -Wall -Wextra -Werror -fPIC -I"$include" "${flags[@]}" \
      -x c++ - -o /dev/null) ||
    { echo "  $1 does not compile on its own" >&2; return 1; }
}
export -f compile_header
empty=$work/empty
mkdir "$empty"
export include qt_flags empty own_names
headers=$(cd "$include/q4471" && find . -name '*.h' | sed 's#^\./##' | sort)
[ -n "$headers" ] || fail "no headers installed"
echo "$headers" | xargs -P "$(nproc)" -I{} bash -c 'compile_header "$@"' _ {} ||
  fail "a public header needs a header that is not installed"
echo "$(echo "$headers" | wc -l) headers: $(echo "$headers" | tr '\n' ' ')"

step "a program that includes an internal header does not compile"
# The build tree: its targets give a program the public headers' folders only, so each internal
# header, and a public one by its path in the sources, is out of reach.
cmake --build "$build" --target q4471_layer_probe_public >/dev/null ||
  fail "a program of the build tree does not compile with <q4471/serial/VaComm.h>"
for probe in platform component framework source_root; do
  ! cmake --build "$build" --target "q4471_layer_probe_$probe" >/dev/null 2>&1 ||
    fail "a program of the build tree compiles with $(head -n 1 "$build/layer-probes/$probe.cpp")"
done
# The installed package, through CMake and pkg-config: the old form and the internal headers fail.
probe=$work/probe
mkdir "$probe"
cat >"$probe/CMakeLists.txt" <<PROBE
cmake_minimum_required(VERSION 3.25)
project(Q4471Probe LANGUAGES CXX)
find_package(Q4471Serial ${soversion} REQUIRED)
add_executable(probe probe.cpp)
target_compile_features(probe PRIVATE cxx_std_20)
target_link_libraries(probe PRIVATE Q4471::Serial)
PROBE
probe_package() { # <include line>: compiles a program with it through CMake and pkg-config
  local flags
  read -ra flags <<<"$(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --cflags q4471-serial)"
  printf '%s\nint main() { return 0; }\n' "$1" >"$probe/probe.cpp"
  rm -rf "$probe/build"
  cmake -S "$probe" -B "$probe/build" -G Ninja -DCMAKE_PREFIX_PATH="$stage" >/dev/null &&
    cmake --build "$probe/build" >/dev/null 2>&1 &&
    (cd "$empty" && c++ -std=c++20 -fsyntax-only "$probe/probe.cpp" "${flags[@]}" 2>/dev/null)
}
probe_package '#include <q4471/serial/VaComm.h>' ||
  fail "a program does not compile with <q4471/serial/VaComm.h> against the installed package"
for line in '#include <q4471/serial/platform/CommPlatform.h>' '#include "serial/VaComm.h"' \
  '#include "framework/Thread.h"'; do
  ! probe_package "$line" || fail "a program compiles with $line against the installed package"
done
echo "the build tree and the installed package refuse internal headers and the source paths"

step "the tree includes the component as a program does"
# Every include of a public header names it as <q4471/...>, as the installed package has it: a
# path in the sources works only where the source root is on the path (the libraries' own files
# and the tests), and would hide from them what a program sees.
quoted=$(grep -rnoE '#include "(serial|framework)/[^"]+"' app memories tools bench examples tests \
  serial framework --include='*.h' --include='*.cpp' | grep -F -f <(sed 's/.*/"&"/' <<<"$headers") || true)
[ -z "$quoted" ] || fail "public headers included by their path in the sources: $quoted"
echo "$(echo "$headers" | wc -l) public headers, each included as <q4471/...>"

step "a plain install of a build configured for the library alone"
# The tree is configured back as it was whatever happens; the programs are built already, so the
# two configures compile nothing.
programs=$(sed -n 's/^Q4471_INSTALL_PROGRAMS:BOOL=//p' "$build/CMakeCache.txt")
trap 'cmake -DQ4471_INSTALL_PROGRAMS="${programs:-ON}" "$build" >/dev/null; rm -rf "$work"' EXIT
cmake -DQ4471_INSTALL_PROGRAMS=OFF "$build" >/dev/null
cmake --install "$build" --prefix "$work/plain" >/dev/null
[ ! -e "$work/plain/bin" ] && [ -e "$work/plain/include/q4471/serial/VaComm.h" ] ||
  fail "a plain install of a library build installs $(ls "$work/plain" | tr '\n' ' ')"
cmake -DQ4471_INSTALL_PROGRAMS="${programs:-ON}" "$build" >/dev/null
rm -rf "$work/plain"
echo "the libraries, their headers and files; no program"

step "the checks see what they should"
# A header that includes an internal one, and a package that names a file it lacks, must fail;
# otherwise the checks above and below would pass whatever the tree holds.
broken=$work/broken
cp -r "$stage" "$broken"
echo '#include "serial/platform/CommPlatform.h"' >>"$broken/include/q4471/serial/Vautils.h"
! include=$broken/include compile_header serial/Vautils.h 2>/dev/null ||
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
