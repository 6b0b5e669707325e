#!/usr/bin/env bash
# Soak runs, each printing descriptors, threads and memory (VmRSS, peak VmHWM) at the start, on
# the way and at the end; a run fails when descriptors or threads grew or a cycle failed.
#   plain: CYCLES open/query/close cycles of a port (default 10000) and LOADS whole loads
#          (default 1000) with the pacing shortened to PACING_MS (default 5), in build/soak;
#   asan:  shorter runs (ASAN_CYCLES, default 1000; ASAN_LOADS, default 20) under
#          AddressSanitizer with its leak check at exit, in build/soak-asan. Memory grows there
#          by design (freed blocks wait in the sanitizer's quarantine): the leak check and the
#          descriptor and thread counts are what count.
# Usage: bash bench/soak/soak.sh [plain|asan|all]   (default: all)
set -euo pipefail
cd "$(dirname "$0")/../.."
which=${1:-all}
PACING_MS=${PACING_MS:-5}

build() { # <dir> <cmake args...>
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ4471_WERROR=ON \
    -DQ4471_REPLY_DELAY_MS="$PACING_MS" "$@" >/dev/null
  cmake --build "$dir" --target port_cycle_soak load_soak
}

status=0
run() { # <dir> <cycles> <loads>; a failed run is reported at the end, the others still run
  echo "== port open/close cycles with traffic ($1) =="
  "$1/bench/soak/port_cycle_soak" "$2" || status=1
  echo "== whole loads, pacing $PACING_MS ms ($1) =="
  "$1/bench/soak/load_soak" "$3" || status=1
}

if [ "$which" = plain ] || [ "$which" = all ]; then
  build build/soak
  run build/soak "${CYCLES:-10000}" "${LOADS:-1000}"
fi
if [ "$which" = asan ] || [ "$which" = all ]; then
  build build/soak-asan -DQ4471_SANITIZE=address,undefined
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run build/soak-asan "${ASAN_CYCLES:-1000}" "${ASAN_LOADS:-20}"
fi
exit $status
