// SPDX-License-Identifier: MIT
#pragma once

// Small HD DVD features for command tests: program streams with a VC-1 video stream, Dolby
// Digital Plus audio and a subpicture stream, in 2,048-byte packs, written as FEATURE_1.EVO
// and FEATURE_2.EVO, together with the elementary streams a Demux must write for them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/program_stream_builder.h"

namespace morvale::testing {

// One part of a feature: what it holds and what each stream's output receives from it.
struct FeaturePart {
    Bytes bytes;             // the program stream
    Bytes video;             // VC-1 payloads of video slot 0, concatenated
    Bytes audio0;            // Dolby Digital Plus 0xC0 payloads after the sub-stream header
    Bytes audio1;            // Dolby Digital Plus 0xC1 payloads (empty when the part has none)
    uint32_t firstPts;       // the smallest first audio/video timestamp of the part
    int pictures;            // VC-1 frame start codes
    uint32_t subpicturePts;  // PTS of the one subpicture unit (sub-stream 0x20)
    Bytes subpicture;        // the unit's payload, over two packets
};

struct FeatureOptions {
    int pictures = 12;          // VC-1 pictures (at least 2), whole ones per packet
    size_t pictureSize = 100;   // bytes per picture
    bool secondAudio = false;   // add Dolby Digital Plus 0xC1
    // First video PTS; the pictures follow at film rate. Audio starts 0x100 later.
    uint32_t basePts = 900000;
    uint8_t seed = 0;           // varies the payload bytes
    bool systemHeader = true;   // the first pack carries a system header
};

FeaturePart featurePart(const FeatureOptions& options);

// The subpicture output of a part as records relative to minFirstPts: "SP", the time as
// 32 bits little-endian, four zero bytes, then the unit's payload.
Bytes subpictureRecord(const FeaturePart& part, uint32_t minFirstPts);

// The PTS step from one picture to the next of the features' VC-1 streams: 1,001/24,000 s, the
// rate a stream without a rate of its own runs at.
inline constexpr double kFilmPictureTicks = 90000.0 * 1001 / 24000;

// VC-1 packs holding `count` pictures of `size` bytes, whole pictures per packet, each packet
// with the PTS of its first picture as an encoder writes it: `pts` for the first (with a DTS),
// one film picture more for each picture after it; no timestamps at all with nullopt. The
// elementary stream is appended to `es`.
Bytes vc1PicturePacks(int count, size_t size, std::optional<uint64_t> pts, Bytes& es);

// Writes the part into `path`, followed by zeros up to `size` bytes (a sparse tail) when
// size is larger than the part.
void writePart(const std::string& path, const FeaturePart& part, uint64_t size = 0);

}  // namespace morvale::testing
