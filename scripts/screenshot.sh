#!/usr/bin/env bash
# Takes the README's picture of the window: builds, writes the sample disc into a temporary
# folder, opens the window on its FEATURE_1.EVO on a virtual X display (Xvfb), presses
# Read EVO and saves the window as it then shows to docs/morvale-window.png (or the path
# given).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
MORVALE_TARGETS="morvale-screenshot morvale-sample-disc" scripts/build.sh

picture=${1:-docs/morvale-window.png}
mkdir -p "$(dirname "$picture")"
# A fixed, neutral place, so the picture shows the same path on every machine.
disc=${TMPDIR:-/tmp}/morvale-sample
runtime=$(mktemp -d)
trap 'rm -rf "$disc" "$runtime"' EXIT
rm -rf "$disc"
build/morvale-sample-disc "$disc" >/dev/null

# morvale-screenshot reads no stored settings: the picture shows the program's defaults.
XDG_RUNTIME_DIR=$runtime QT_QPA_PLATFORM=xcb \
    xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24" \
    build/morvale-screenshot "$disc/HVDVD_TS/FEATURE_1.EVO" "$picture" 600x520
