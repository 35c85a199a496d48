#pragma once

// A synthesised SMPTE 421M advanced-profile elementary stream as HD DVD carries it: 1080p at
// 24000/1001 frames per second, closed GOPs of twelve frames (coded I P B B P B B P B B P B),
// each GOP led by a sequence header and an entry-point header.

#include <vector>

#include "access_unit.h"

namespace morvale::sample {

inline constexpr int kFramesPerGop = 12;

// The sequence header BDU (start code 00 00 01 0F): advanced profile, level 3, 4:2:0,
// 1920x1080 progressive, display extension 1920x1080, square samples, 24000/1001, BT.709.
Bytes vc1SequenceHeader();
// The entry-point header BDU (00 00 01 0E) of a closed GOP.
Bytes vc1EntryPointHeader();

struct Vc1Frame {
    AccessUnit unit;  // from its first start code to the next frame's
    char type;        // 'I', 'P' or 'B'
    bool gopStart;    // led by the sequence and entry-point headers (the I frame)
};

// gopCount GOPs in coded order. Frame n of the display order is presented at
// firstPts + frameTime(n); a reference frame is decoded one frame period before the frame
// that precedes it in coded order is shown, so B frames decode when they are presented.
std::vector<Vc1Frame> vc1Frames(int gopCount, uint64_t firstPts);

}  // namespace morvale::sample
