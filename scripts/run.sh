#!/usr/bin/env bash
# Installs what is missing, builds, and starts the Morvale window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: showing what the command-line twin can do instead."
    exec build/morvale-cli --help
fi
exec build/src/app/morvale "$@"
