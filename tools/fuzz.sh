#!/usr/bin/env bash
# Builds the libFuzzer targets (build/fuzz, clang, AddressSanitizer + UBSan) and runs each one on
# a fresh copy of its seed corpus for SECONDS_PER_TARGET (default 5: the CI smoke run). Fails on
# any finding; the input that caused it is kept in build/fuzz/findings/. A longer run is the same
# call with a larger number; the figures of each run are in build/fuzz/runs/<target>.log.
# Being CI's Clang build, it also builds the component's libraries in full, so that a
# -Wthread-safety warning (a lock not held, or taken out of order) stops CI here.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-5}

if ! command -v clang++-14 >/dev/null || ! ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  bash tools/install-deps.sh
fi

build=build/fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ4471_WERROR=ON \
  -DQ4471_FUZZ=ON -DQ4471_SANITIZE=fuzzer-no-link,address,undefined
# target: the libFuzzer options it needs beyond the defaults
declare -A options=(
  [record_parse]="-max_len=256"
  [record_compose]="-max_len=512"
  [memory_file]="-max_len=2048"
  [csv_file]="-max_len=4096"
  [load_answer]="-max_len=1024"
  [line_settings]="-max_len=64"
  [command_framer]="-max_len=9000"
)
targets=(record_parse record_compose memory_file csv_file load_answer line_settings command_framer)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}" q4471_framework q4471_serial

mkdir -p "$build/runs" "$build/findings"
# Memory files are saved with fsync: a memory-backed folder keeps that from ruling the speed.
scratch=$(mktemp -d "${TMPDIR_FOR_FUZZ:-/dev/shm}/q4471-fuzz-XXXXXX" 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=()
for target in "${targets[@]}"; do
  corpus="$scratch/corpus-$target"
  cp -r "tests/fuzz/corpus/$target" "$corpus"
  log="$build/runs/$target.log"
  echo "== $target: ${seconds} s =="
  if TMPDIR="$scratch" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch" \
    LSAN_OPTIONS="suppressions=$PWD/tests/fuzz/lsan.supp" \
    UBSAN_OPTIONS=print_stacktrace=1 \
    timeout $((seconds + 120)) "$build/tests/fuzz/fuzz_$target" "${options[$target]}" \
      -max_total_time="$seconds" -print_final_stats=1 -timeout=20 \
      -artifact_prefix="$PWD/$build/findings/$target-" "$corpus" >"$log" 2>&1; then
    grep -E "^#[0-9]+.*DONE|stat::number_of_executed_units|stat::average_exec_per_sec" "$log" || true
  else
    echo "FINDING in $target (see $log):"
    grep -E "PROPERTY FAILED|ERROR:|SUMMARY:|Test unit written" "$log" | head -5 || tail -20 "$log"
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]}"
  exit 1
fi
echo "Fuzzing: no findings"
