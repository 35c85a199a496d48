#pragma once

// Interleaves the elementary streams of one part of the feature into 2,048-byte packs as an
// HD DVD EVO holds them: a navigation pack (pack header, system header, PCI and DSI packets
// of private stream 2) at the start of every GOP, one PES packet per pack, padding packets
// for the rest of a pack, system clock references that follow the decoding times.

#include <vector>

#include "access_unit.h"
#include "vc1_stream.h"

namespace morvale::sample {

// The program mux rate of HD DVD: 30.24 Mbit/s in units of 50 bytes per second.
inline constexpr uint32_t kMuxRate = 75600;

struct AudioTrack {
    uint8_t subStreamId;  // private stream 1: 0x80-0x87 AC-3, 0xC0-0xCF E-AC-3
    std::vector<AccessUnit> frames;
};

struct SubpictureTrack {
    uint8_t subStreamId;  // 0x20-0x3F
    std::vector<AccessUnit> units;
};

struct FeaturePart {
    uint64_t titleStartPts;       // presentation time of the feature's first frame
    std::vector<Vc1Frame> video;  // coded order, starting with a GOP
    std::vector<AudioTrack> audio;
    std::vector<SubpictureTrack> subpictures;
};

// The packs of one part. `clock` is the system clock (27 MHz) of the pack before the first;
// it is advanced to the last pack's, so a second part continues the first.
Bytes muxPart(const FeaturePart& part, uint64_t& clock);

}  // namespace morvale::sample
