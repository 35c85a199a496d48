// SPDX-License-Identifier: MIT
#pragma once

// Program streams made by ffmpeg's own encoders and muxers from its lavfi test sources, a few
// seconds long: DVD VOBs (muxer "dvd": navigation packs and one packet per pack; "vob": a
// system header every 40 packs) and ISO/IEC 11172-1 system streams (muxer "mpeg"). They are
// real files of the kinds users bring, small enough to make while a test runs.

#include <string>
#include <vector>

namespace morvale::testing {

struct MadeSource {
    // ffmpeg's video encoder with its options; empty for a file without video.
    std::string video = "mpeg2video -g 12 -bf 2";
    std::string rate = "25";  // pictures per second, as ffmpeg takes it ("30000/1001")
    std::string size = "176x144";
    // One encoder per audio stream, each fed a tone of its own (ac3, pcm_dvd, dca, mp2...).
    std::vector<std::string> audio;
    std::string muxer = "dvd";
    double seconds = 4;
};

// The ffmpeg command that writes the source to path.
std::string madeSourceCommand(const MadeSource& source, const std::string& path);
// Writes the source to path; false when ffmpeg failed.
bool makeSource(const MadeSource& source, const std::string& path);

// Copies the 2,048-byte packs [firstPack, firstPack + packs) of a file into another one
// (packs: -1 for all to the end): how the parts of a feature split over two files are made.
void copyPacks(const std::string& from, const std::string& to, long firstPack, long packs = -1);
// The number of whole 2,048-byte packs a file holds.
long packCount(const std::string& path);
// The first pack at or after firstPack whose first packet is a system header: in a DVD VOB the
// navigation pack that opens a video object unit, where a group of pictures begins, and so
// where an authoring tool may end one part of a feature and begin the next. -1 when none.
long unitStartFrom(const std::string& path, long firstPack);

}  // namespace morvale::testing
