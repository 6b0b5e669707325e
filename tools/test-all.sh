#!/usr/bin/env bash
# Installs the dependencies, builds, and runs every test: the release build (as users and packagers
# build it, so that warnings only -O3 shows are seen), the reference of the public headers, the
# whole suite under AddressSanitizer+UBSan, the shared libraries' ABI (read from that build's debug
# information), the threaded tests under ThreadSanitizer, the Clang build that checks the locks
# (-Wthread-safety) and runs each fuzz target shortly, and the serial component built for Windows
# with its tests under Wine.
# Warnings are errors here, never in a user's build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

# One test per core at a time; the tests that mostly wait on the radio's pace take no core and run
# beside them, up to `paced` of them at once.
cores_spec() { # <file>
  local cores=() i
  for ((i = 0; i < $(nproc); i++)); do cores+=("{\"id\":\"$i\",\"slots\":1}"); done
  local IFS=,
  printf '{"version":{"major":1,"minor":0},"local":[{"cores":[%s]}]}\n' "${cores[*]}" > "$1"
}
paced=6

run_build() { # <dir> <build type> <ctest args> -- <cmake args>
  local dir=$1 type=$2; shift 2
  local ctest_args=()
  while [ "$1" != "--" ]; do ctest_args+=("$1"); shift; done
  shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DQ4471_WERROR=ON "$@"
  cmake --build "$dir" -j "$(nproc)"
  cores_spec "$dir/cores.json"
  (cd "$dir" && ctest --output-on-failure -j $(($(nproc) + paced)) \
    --resource-spec-file cores.json "${ctest_args[@]}")
}

echo "== release build =="
run_build build/release Release --
echo "== reference of the public headers (Doxygen, warnings are errors) =="
bash tools/check-reference.sh build/release build/reference
echo "== install, package and desktop checks =="
bash tools/check-package.sh build/release
echo "== the component as a library: installed headers, package files, examples =="
bash tools/check-library.sh build/release
echo "== AddressSanitizer + UBSan =="
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_build build/asan RelWithDebInfo -- -DQ4471_SANITIZE=address,undefined
echo "== the shared libraries' ABI against the committed baselines =="
bash tools/check-abi.sh build/asan
echo "== ThreadSanitizer (threaded tests) =="
TSAN_OPTIONS=halt_on_error=1 run_build build/tsan RelWithDebInfo -L threaded -- -DQ4471_SANITIZE=thread -DQ4471_WITH_GUI=OFF
echo "== Clang: the lock checks (-Wthread-safety) and the fuzz targets, 5 s each =="
bash tools/fuzz.sh 5
echo "== the serial component built for Windows, its tests under Wine =="
bash tools/wine-tests.sh
