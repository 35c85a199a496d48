#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Writes the sample disc into sample/ with build/morvale-sample-disc, unless all three of its
# files are there already. Needs a build (scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
sample_dir=sample
if [ ! -f "$sample_dir/HVDVD_TS/FEATURE_1.EVO" ] || [ ! -f "$sample_dir/HVDVD_TS/FEATURE_2.EVO" ] ||
    [ ! -f "$sample_dir/ADV_OBJ/VPLST000.XPL" ]; then
    build/morvale-sample-disc "$sample_dir"
fi
