#!/usr/bin/env bash
# Runs the threaded and timing-sensitive tests over and over while every core is kept busy by a
# load generator, and prints which tests failed and how often. A test that fails only under load
# fails CI on somebody's machine: each one this finds is a defect to mend. Not part of CI.
#
#   tools/flake-hunt.sh [-m MINUTES] [-b BUILD_DIR] [-L LABEL_REGEX] [-R NAME_REGEX]
#
# Defaults: 30 minutes, build/release (built already, as tools/test-all.sh builds it), the tests
# labelled "threaded". -L '' runs every test. The output of each failed run is kept in
# BUILD_DIR/flake-hunt/.
set -euo pipefail
cd "$(dirname "$0")/.."

minutes=30 build=build/release label=threaded name=""
while getopts "m:b:L:R:" option; do
  case $option in
  m) minutes=$OPTARG ;;
  b) build=$OPTARG ;;
  L) label=$OPTARG ;;
  R) name=$OPTARG ;;
  *) sed -n '6p' "$0" >&2; exit 2 ;;
  esac
done
[ -f "$build/CTestTestfile.cmake" ] || { echo "no tests built in $build" >&2; exit 2; }

filter=()
[ -n "$label" ] && filter+=(-L "$label")
[ -n "$name" ] && filter+=(-R "$name")

# One busy loop per core, beside as many tests at once as there are cores: every test competes
# for its core, as on a CI machine that runs other work.
load=()
stop_load() { [ ${#load[@]} -eq 0 ] || kill "${load[@]}" 2>/dev/null || true; }
trap stop_load EXIT
for ((core = 0; core < $(nproc); core++)); do
  (while :; do :; done) &
  load+=($!)
done

logs=$build/flake-hunt
rm -rf "$logs" && mkdir -p "$logs"
declare -A failures=()
end=$((SECONDS + minutes * 60))
rounds=0
while [ $SECONDS -lt $end ]; do
  rounds=$((rounds + 1))
  log=$logs/round-$rounds.log
  (cd "$build" && ctest -j "$(nproc)" --output-on-failure "${filter[@]}") >"$log" 2>&1 || true
  # CTest's summary names each failed test as "<number> - <name> (Failed)" or "(Timeout)".
  failed=$(sed -n 's/^[[:space:]]*[0-9]\+ - \([^ ]*\) (.*)$/\1/p' "$log")
  if [ -z "$failed" ]; then
    rm -f "$log"
  fi
  for test in $failed; do
    failures[$test]=$((${failures[$test]:-0} + 1))
  done
  echo "round $rounds: $(grep -o '[0-9]* tests failed out of [0-9]*\|100% tests passed.*' "$log" 2>/dev/null ||
    echo 'all passed')"
done

echo
echo "$rounds rounds in $minutes minutes, every core loaded."
if [ ${#failures[@]} -eq 0 ]; then
  echo "No test failed."
  exit 0
fi
echo "Failed (times out of $rounds rounds; the logs are in $logs):"
for test in "${!failures[@]}"; do
  printf '%4d  %s\n' "${failures[$test]}" "$test"
done | sort -rn
exit 1
