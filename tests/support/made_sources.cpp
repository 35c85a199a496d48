// SPDX-License-Identifier: MIT
#include "support/made_sources.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "support/peer_tools.h"
#include "support/temp_dir.h"

namespace morvale::testing {

namespace {
constexpr long kPack = 2048;
}  // namespace

std::string madeSourceCommand(const MadeSource& source, const std::string& path) {
    std::string command = "ffmpeg -nostdin -v error -y";
    if (!source.video.empty()) {
        command += " -f lavfi -i testsrc=size=" + source.size + ":rate=" + source.rate;
    }
    for (size_t k = 0; k < source.audio.size(); ++k) {
        command +=
            " -f lavfi -i sine=frequency=" + std::to_string(330 + 110 * k) + ":sample_rate=48000";
    }
    char duration[32];
    std::snprintf(duration, sizeof duration, " -t %g", source.seconds);
    command += duration;
    const size_t inputs = source.audio.size() + (source.video.empty() ? 0 : 1);
    for (size_t k = 0; k < inputs; ++k)
        command += " -map " + std::to_string(k);
    if (!source.video.empty()) command += " -c:v " + source.video;
    for (size_t k = 0; k < source.audio.size(); ++k)
        command += " -c:a:" + std::to_string(k) + " " + source.audio[k];
    if (!source.audio.empty()) command += " -b:a 192k";
    return command + " -strict -2 -f " + source.muxer + " " + quoted(path);
}

bool makeSource(const MadeSource& source, const std::string& path) {
    return shellSucceeds(madeSourceCommand(source, path));
}

long packCount(const std::string& path) {
    return static_cast<long>(readFileBytes(path).size()) / kPack;
}

long unitStartFrom(const std::string& path, long firstPack) {
    const std::vector<uint8_t> bytes = readFileBytes(path);
    for (long pack = firstPack; (pack + 1) * kPack <= static_cast<long>(bytes.size()); ++pack) {
        const uint8_t* p = bytes.data() + pack * kPack;
        if (p[14] == 0x00 && p[15] == 0x00 && p[16] == 0x01 && p[17] == 0xBB) return pack;
    }
    return -1;
}

void copyPacks(const std::string& from, const std::string& to, long firstPack, long packs) {
    const std::vector<uint8_t> bytes = readFileBytes(from);
    const long total = static_cast<long>(bytes.size()) / kPack;
    const long last = packs < 0 ? total : std::min(total, firstPack + packs);
    writeFileBytes(
        to, std::vector<uint8_t>(bytes.begin() + firstPack * kPack, bytes.begin() + last * kPack));
}

}  // namespace morvale::testing
