#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Configures and builds Morvale into build/ (two parallel jobs). Arguments go to the CMake
# configuration; MORVALE_TARGETS (space-separated) builds only those targets.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
targets=()
for target in ${MORVALE_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build build -j2 "${targets[@]}"
