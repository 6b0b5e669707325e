#!/usr/bin/env bash
# The serial benchmark against the libraries used instead of the component (Qt's QSerialPort,
# libserialport, Boost.Asio, and plain poll/read/write as the floor, beside the floor with one
# hand-over to a second thread): installs the peer libraries' packages, configures and builds
# build/peers, and runs every contender in alternating rounds, printing one table per placement
# and the round trips against the hand-over floor. --smoke runs a few iterations of each, as the
# test run does.
#   bash tools/peer-bench.sh [--smoke] [peer_bench_host options, e.g. --rounds 3 --only floor,asio]
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
bash tools/install-deps.sh
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
  qt6-serialport-dev libserialport-dev libboost-dev
cmake -S . -B build/peers -G Ninja -DCMAKE_BUILD_TYPE=Release -DQ4471_WERROR=ON \
  -DQ4471_PEER_BENCH=ON
cmake --build build/peers --target peer_bench
uptime # the figures depend on what else the machine runs
build/peers/bench/peers/peer_bench_host "$@"
