#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages Morvale needs to build, test and run, when any is missing.
# Arguments name further packages a script needs (scripts/screenshot.sh: a window manager).
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev libgl-dev libjpeg62-turbo-dev libcli11-dev libpugixml-dev nlohmann-json3-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    ffmpeg mediainfo mkvtoolnix python3-jsonschema xvfb xauth time hyperfine
    fonts-dejavu-core xdg-utils
    "$@"
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} > 0)); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
