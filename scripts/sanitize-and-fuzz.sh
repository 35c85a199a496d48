#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the core, its tests and the fuzz targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-sanitize/ (no window), runs the tests there, then the
# tests again under ThreadSanitizer (scripts/thread-sanitize.sh, into build-tsan/), then runs
# every fuzz target for a few seconds from its committed corpus.
#
#   scripts/sanitize-and-fuzz.sh                    what scripts/test.sh runs
#   scripts/sanitize-and-fuzz.sh --fuzz-only --seconds 14400 demux
#                                                   a long run of one target (no tests)
#
# Inputs a target finds go to build-sanitize/fuzz-work/<target>/ (kept between runs);
# crashes, leaks, hangs and broken invariants to build-sanitize/fuzz-artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-sanitize
seconds=8
run_tests=1
targets=()
while (($# > 0)); do
    case "$1" in
        --seconds) seconds="$2"; shift 2 ;;
        --fuzz-only) run_tests=0; shift ;;
        -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
        *) targets+=("$1"); shift ;;
    esac
done
if ((${#targets[@]} == 0)); then
    targets=(demux ac3_report vc1_report mpeg2_video_report h264_report xpl_reader rebuild export
             subtitles)
fi

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMORVALE_SANITIZE=ON -DMORVALE_BUILD_FUZZ=ON -DMORVALE_BUILD_APP=OFF >/dev/null
cmake --build "$build" -j2

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

if ((run_tests)); then
    ctest --test-dir "$build" -j2 --output-on-failure --timeout 900
    scripts/thread-sanitize.sh
fi

artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
for target in "${targets[@]}"; do
    work="$build/fuzz-work/$target"
    log="$build/fuzz-work/$target.log"
    mkdir -p "$work"
    if ! "$build/fuzz/morvale_fuzz_$target" -max_total_time="$seconds" -timeout=25 \
        -rss_limit_mb=2560 -max_len=65536 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$target-" "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "fuzz target $target failed; the input is in $artifacts/" >&2
        exit 1
    fi
    echo "fuzz $target: $(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}') runs," \
        "$(grep -E 'DONE' "$log" | grep -oE 'cov: [0-9]+ ft: [0-9]+' | tail -n 1)"
done
