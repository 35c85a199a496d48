#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Takes the README's pictures of the window: builds, writes the sample disc into a temporary
# folder, and on a virtual X display (Xvfb) with a window manager (openbox) opens the window
# on its FEATURE_1.EVO, presses Read EVO, Read XPL, Demux and Make MKV, and saves the window
# as it opens on a 1600x1000 screen, after Read EVO, after Read XPL and after Make MKV, at the
# size it opens at and wide:
#
#   docs/window-first-start.png
#   docs/window-read-evo.png   docs/window-read-xpl.png
#   docs/window-wide-read-evo.png   docs/window-wide-read-xpl.png
#   docs/window-make-mkv.png   docs/window-wide-make-mkv.png
#
# An argument names another folder for the pictures.
set -euo pipefail
cd "$(dirname "$0")/.."

# Inside the virtual display (the script runs itself there): start openbox, wait until it
# manages the screen, take the pictures, and stop it again.
if [ "${1:-}" = --in-display ]; then
    disc=$2 pictures=$3
    openbox --sm-disable >/dev/null 2>&1 &
    wm=$!
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.1
    done
    status=0
    build/morvale-screenshot "$disc/HVDVD_TS/FEATURE_1.EVO" "$pictures/window" || status=$?
    if [ "$status" -eq 0 ]; then
        build/morvale-screenshot "$disc/HVDVD_TS/FEATURE_1.EVO" "$pictures/window-wide" 1280x860 ||
            status=$?
    fi
    kill "$wm" 2>/dev/null || true
    wait "$wm" 2>/dev/null || true
    exit "$status"
fi

scripts/install-deps.sh openbox x11-utils
MORVALE_TARGETS="morvale-screenshot morvale-sample-disc" scripts/build.sh

pictures=${1:-docs}
mkdir -p "$pictures"
# A fixed, neutral place, so the pictures show the same path on every machine.
disc=${TMPDIR:-/tmp}/morvale-sample
runtime=$(mktemp -d)
trap 'rm -rf "$disc" "$runtime"' EXIT
rm -rf "$disc"
build/morvale-sample-disc "$disc" >/dev/null

# morvale-screenshot reads no stored settings: the pictures show the program's defaults.
XDG_RUNTIME_DIR=$runtime QT_QPA_PLATFORM=xcb \
    xvfb-run --auto-servernum --server-args="-screen 0 1600x1000x24" \
    scripts/screenshot.sh --in-display "$disc" "$pictures"
