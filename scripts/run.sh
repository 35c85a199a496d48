#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds, writes the sample disc into sample/ (once) and opens it
# in the Morvale window. Without a display, runs the same Read EVO headless with morvale-cli.
# Arguments are passed to the window (or to `morvale-cli scan`) instead of the sample.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# Only the programs this needs; scripts/test.sh builds the rest.
MORVALE_TARGETS="morvale morvale-cli morvale-sample-disc" scripts/build.sh
scripts/sample-disc.sh
sample=sample/HVDVD_TS/FEATURE_1.EVO
if [ $# -eq 0 ]; then
    set -- "$sample"
fi

window=build/src/app/morvale
if { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; } && [ -x "$window" ]; then
    exec "$window" "$@"
fi

if [ -x "$window" ]; then
    echo "No display found: running Read EVO headless with morvale-cli scan instead."
else
    echo "The window was not built: running Read EVO headless with morvale-cli scan instead."
fi
echo
exec build/morvale-cli scan "$@"
