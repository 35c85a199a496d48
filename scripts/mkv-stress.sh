#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Stops `morvale-cli mkv` at random moments, again and again, and checks what it leaves:
# no half-made file at the output path (none, or a whole Matroska file), no mkvmerge left
# running, no work folder after a SIGINT, exit status 130 for a SIGINT that reached a
# running command; after a SIGKILL the next run finds the stale work folder and removes it.
#
#   scripts/mkv-stress.sh [SOURCE] [SIGINTS] [SIGKILLS]
#
# SOURCE defaults to the sample disc's first part (scripts/sample-disc.sh); needs a build.
set -euo pipefail
cd "$(dirname "$0")/.."
source_file="${1:-sample/HVDVD_TS/FEATURE_1.EVO}"
sigints="${2:-200}"
sigkills="${3:-50}"
cli=build/morvale-cli
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# How long one whole run takes, to spread the signals over it.
start=$(date +%s%N)
"$cli" mkv --overwrite -o "$out/feature.mkv" "$source_file" >/dev/null 2>&1
whole_ms=$(( ($(date +%s%N) - start) / 1000000 + 1 ))
rm -f "$out/feature.mkv"

is_matroska() { [ "$(head -c 4 "$1" | od -An -tx1 | tr -d ' \n')" = "1a45dfa3" ]; }

check_output() {
    if [ -e "$out/feature.mkv" ] && ! is_matroska "$out/feature.mkv"; then
        fail "$1: a half-made file at the output path"
    fi
    if ls -A "$out" | grep -q '\.morvale-'; then fail "$1: a staged file was left"; fi
}

no_mkvmerge_left() {
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        pgrep -x mkvmerge >/dev/null || return 0
        sleep 0.2
    done
    fail "$1: mkvmerge outlived its run"
    pkill -9 -x mkvmerge || true
}

run_and_signal() {
    local signal=$1
    rm -f "$out/log"
    "$cli" mkv --overwrite -o "$out/feature.mkv" "$source_file" >"$out/log" 2>&1 &
    local pid=$!
    sleep "$(awk -v ms="$whole_ms" 'BEGIN { srand(); printf "%.3f", rand() * ms / 1000 }')"
    kill "-$signal" "$pid" 2>/dev/null || true
    local status=0
    wait "$pid" || status=$?
    echo "$status"
}

interrupted=0
for ((n = 1; n <= sigints; n++)); do
    status=$(run_and_signal INT)
    case "$status" in
        130) interrupted=$((interrupted + 1)) ;;
        0) ;;  # it had ended before the signal came
        *) fail "SIGINT $n: exit status $status"; tail -n 5 "$out/log" >&2 ;;
    esac
    check_output "SIGINT $n"
    [ -e "$out/feature.work" ] && fail "SIGINT $n: the work folder was left"
    no_mkvmerge_left "SIGINT $n"
done

stale_found=0
for ((n = 1; n <= sigkills; n++)); do
    run_and_signal KILL >/dev/null
    check_output "SIGKILL $n"
    no_mkvmerge_left "SIGKILL $n"
    left=0
    [ -e "$out/feature.work" ] && left=1
    "$cli" mkv --overwrite -o "$out/feature.mkv" "$source_file" >"$out/log" 2>&1 ||
        fail "SIGKILL $n: the next run failed: $(tail -n 3 "$out/log")"
    if ((left)); then
        if grep -q "Removed what a stopped run had left in " "$out/log"; then
            stale_found=$((stale_found + 1))
        else
            fail "SIGKILL $n: the next run did not say it removed the stale work folder"
        fi
    fi
    is_matroska "$out/feature.mkv" || fail "SIGKILL $n: the next run made no Matroska file"
    [ -e "$out/feature.work" ] && fail "SIGKILL $n: the next run left its work folder"
done

echo "$sigints SIGINTs ($interrupted stopped a running command), $sigkills SIGKILLs" \
    "($stale_found left a work folder the next run removed), one run ${whole_ms} ms:" \
    "$failures failures"
((failures == 0))
