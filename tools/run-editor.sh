#!/usr/bin/env bash
# Installs the dependencies, builds the editor and the simulated radio, and starts both: the
# simulated radio plays the Q4471 on COM1, so every command can be tried without a radio. Any
# arguments go to the simulated radio (see q4471-radio-sim --help), e.g. --drop-writes every:10.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build/plain -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/plain -j "$(nproc)" --target q4471-editor q4471-radio-sim

work=$(mktemp -d)
trap 'kill "$radio" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
build/plain/tools/q4471-radio-sim --load docs/sample.mem --log "$work/radio.log" "$@" \
  > "$work/radio.path" &
radio=$!
for _ in $(seq 100); do [ -s "$work/radio.path" ] && break; sleep 0.1; done
device=$(head -n 1 "$work/radio.path")
echo "Simulated Q4471 on $device (COM1); its log: $work/radio.log"
Q4471_COM1="$device" build/plain/app/q4471-editor
