// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <span>

#include "engine/engine_types.h"
#include "reports/picture_start_codes.h"

namespace morvale {

// The start code that marks a picture, by video kind: MPEG-2 picture_start_code, the H.264
// access unit delimiter (NAL unit type 9, nal_ref_idc 0), the VC-1 frame start code.
constexpr uint32_t pictureStartCode(VideoKind kind) {
    switch (kind) {
        case VideoKind::VideoH264:
            return kH264AccessUnitDelimiter;
        case VideoKind::VideoVc1:
            return kVc1FrameStartCode;
        default:
            return kMpeg2PictureStartCode;
    }
}

// Counts the picture start codes that end in a payload piece of a video stream, with the
// 32-bit shift register `carried` that holds the last four bytes of the stream before the
// piece (the newest in the low byte; zero at the start of a file), and leaves in it the last
// four bytes after the piece. Fed every piece of a stream in order, it counts each start code
// exactly once, also one split between two pieces: the count is the number of start codes
// in the concatenated stream. This is the plain byte-by-byte definition, kept as the
// reference for the fast version.
int countPictureStartCodesSimple(std::span<const uint8_t> piece, VideoKind kind, uint32_t& carried);
// A piece counted on its own: the register starts at zero, as at the start of a file.
int countPictureStartCodesSimple(std::span<const uint8_t> piece, VideoKind kind);

// The same counts, found by the fastest search this processor runs.
int countPictureStartCodes(std::span<const uint8_t> piece, VideoKind kind, uint32_t& carried);
int countPictureStartCodes(std::span<const uint8_t> piece, VideoKind kind);

// The searches behind countPictureStartCodes: a memchr for the 0x01 of each start code, and
// on x86-64 SSE2 and AVX2 comparisons of 16 or 32 four-byte windows at once.
enum class PictureSearch : uint8_t { Memchr, Sse2, Avx2 };

// Whether this processor (and build) runs the search.
bool pictureSearchAvailable(PictureSearch search);

// The count with the given search, which must be available (tests compare them all).
int countPictureStartCodesWith(PictureSearch search, std::span<const uint8_t> piece, VideoKind kind,
                               uint32_t& carried);
int countPictureStartCodesWith(PictureSearch search, std::span<const uint8_t> piece,
                               VideoKind kind);

}  // namespace morvale
