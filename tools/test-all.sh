#!/usr/bin/env bash
# Installs the dependencies, builds, and runs every test: the plain build, the whole suite under
# AddressSanitizer+UBSan, and the threaded tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

run_build() { # <dir> <ctest args> -- <cmake args>
  local dir=$1; shift
  local ctest_args=()
  while [ "$1" != "--" ]; do ctest_args+=("$1"); shift; done
  shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  cmake --build "$dir" -j "$(nproc)"
  (cd "$dir" && ctest --output-on-failure -j "$(nproc)" "${ctest_args[@]}")
}

echo "== plain build =="
run_build build/plain --
echo "== AddressSanitizer + UBSan =="
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_build build/asan -- -DQ4471_SANITIZE=address,undefined
echo "== ThreadSanitizer (threaded tests) =="
TSAN_OPTIONS=halt_on_error=1 run_build build/tsan -L threaded -- -DQ4471_SANITIZE=thread -DQ4471_WITH_GUI=OFF
