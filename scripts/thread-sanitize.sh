#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the core and its tests with clang and ThreadSanitizer into build-tsan/ (no window,
# no fuzz targets) and runs the tests there: the file layer reads ahead and writes behind on
# threads of its own, and every test that reads or writes a file runs through them.
#
#   scripts/thread-sanitize.sh            what scripts/sanitize-and-fuzz.sh runs
#   scripts/thread-sanitize.sh -R Threads only the tests matching a ctest regular expression
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-tsan
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMORVALE_THREAD_SANITIZER=ON -DMORVALE_BUILD_APP=OFF >/dev/null
cmake --build "$build" -j2

# A data race, a lock taken in two orders or a thread left running fails the test that
# showed it.
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:report_thread_leaks=1}"
# The installation test builds a package of its own; the layering test compiles headers only.
ctest --test-dir "$build" -j2 --output-on-failure --timeout 900 -LE 'install|layers' "$@"
