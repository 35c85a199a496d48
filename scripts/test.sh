#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds, and runs every test, then again under the sanitizers
# with a short run of every fuzz target (scripts/sanitize-and-fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
ctest --test-dir build -j2 --output-on-failure --timeout 900
scripts/sanitize-and-fuzz.sh
