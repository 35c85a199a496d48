#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installation as people get it: `cmake --install` into a temporary prefix and the .deb that
# cpack makes both hold the programs, the desktop entry with its icons and the manual page,
# and the installed morvale-cli runs. The package part is skipped (exit 77) without dpkg-deb.
#
#   install_test.sh BUILD_DIR VERSION WITH_WINDOW(0|1)
set -euo pipefail
build=$1
version=$2
window=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

sizes=(16 24 32 48 64 128 256)
files=(bin/morvale-cli share/man/man1/morvale-cli.1.gz share/doc/morvale/feature-description.schema.json)
if [ "$window" = 1 ]; then
    files+=(bin/morvale share/applications/morvale.desktop)
    for size in "${sizes[@]}"; do
        files+=("share/icons/hicolor/${size}x${size}/apps/morvale.png")
    done
fi

# Width and height of a PNG from its IHDR chunk.
png_size() {
    od -An -tu1 -j16 -N8 "$1" | awk '{ print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8 }'
}

check_tree() {
    local root=$1
    for file in "${files[@]}"; do
        [ -f "$root/$file" ] || fail "$root/$file is missing"
    done
    for program in bin/morvale-cli bin/morvale; do
        [ ! -e "$root/$program" ] || [ -x "$root/$program" ] || fail "$program is not executable"
    done
    [ "$("$root/bin/morvale-cli" --version)" = "morvale-cli $version" ] ||
        fail "the installed morvale-cli --version says: $("$root/bin/morvale-cli" --version)"
    local man
    man=$(gzip -dc "$root/share/man/man1/morvale-cli.1.gz")
    grep -q '^\.TH MORVALE-CLI 1 .*"Morvale '"$version"'"' <<<"$man" || fail "man page header"
    for word in scan demux rebuild xpl '\\-\\-streams' '\\-\\-output\\-dir'; do
        grep -q "$word" <<<"$man" || fail "the man page does not describe $word"
    done
    if [ "$window" = 1 ]; then
        local desktop=$root/share/applications/morvale.desktop
        grep -qx 'Exec=morvale %f' "$desktop" || fail "desktop entry Exec"
        grep -qx 'Icon=morvale' "$desktop" || fail "desktop entry Icon"
        if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi
        for size in "${sizes[@]}"; do
            local icon=$root/share/icons/hicolor/${size}x${size}/apps/morvale.png
            [ "$(od -An -tx1 -N8 "$icon" | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$icon is no PNG"
            [ "$(png_size "$icon")" = "${size}x${size}" ] || fail "$icon is $(png_size "$icon")"
        done
    fi
}

cmake --install "$build" --prefix "$work/prefix" >"$work/install.log"
check_tree "$work/prefix"
echo "cmake --install: ${#files[@]} files in place, morvale-cli $version runs"

if ! command -v dpkg-deb >/dev/null; then
    echo "dpkg-deb is not installed: the .deb is not checked"
    exit 77
fi
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log") ||
    { cat "$work/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$work"/package/morvale_"$version"_*.deb)
contents=$(dpkg-deb -c "$deb")
for file in "${files[@]}"; do
    grep -q " \./usr/$file\$" <<<"$contents" || fail "the package lacks /usr/$file"
done
info=$(dpkg-deb -I "$deb")
grep -q '^ Package: morvale$' <<<"$info" || fail "package name"
grep -q "^ Version: $version\$" <<<"$info" || fail "package version"
depends=$(grep '^ Depends: ' <<<"$info") || fail "no Depends"
needed=(libc6 libstdc++6)
if [ "$window" = 1 ]; then needed+=(libqt6widgets6 libqt6gui6 qt6-qpa-plugins libjpeg62-turbo); fi
for package in "${needed[@]}"; do
    grep -q "[ ,]$package\( (\|,\|\$\)" <<<"$depends" || fail "Depends lacks $package: $depends"
    dpkg-query -W "$package" >/dev/null 2>&1 || fail "$package is not a Debian package here"
done
# mkvtoolnix finishes what morvale-cli mkv hands off.
grep -q '^ Recommends: .*mkvtoolnix' <<<"$info" || fail "Recommends lacks mkvtoolnix"
# The packaged (stripped) programs run as installed.
dpkg-deb -x "$deb" "$work/root"
check_tree "$work/root/usr"
echo "$(basename "$deb"): $(wc -l <<<"$contents") entries; $depends"
