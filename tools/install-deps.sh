#!/usr/bin/env bash
# Installs what building, running and testing the editor needs on Debian 12; clang-14 with its
# runtime is CI's Clang build (tools/fuzz.sh: the lock checks and the fuzz targets).
set -euo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
$SUDO apt-get update
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
  build-essential cmake ninja-build pkg-config \
  qt6-base-dev qt6-base-dev-tools libqt6svg6 libgl-dev libgtest-dev googletest \
  xvfb xauth python3 \
  clang-14 libclang-rt-14-dev
