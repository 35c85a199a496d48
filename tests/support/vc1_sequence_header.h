// SPDX-License-Identifier: MIT
#pragma once

// SMPTE 421M advanced-profile sequence headers for tests, field by field.

#include <cstdint>
#include <vector>

namespace morvale::testing {

// The advanced-profile sequence header fields up to the frame rate (SMPTE 421M 6.1).
struct Vc1Sequence {
    int profile = 3;
    int level = 3;
    int colordiffFormat = 1;
    int maxCodedWidth = 959;
    int maxCodedHeight = 539;
    bool pulldown = true;
    bool interlace = false;
    bool displayExt = true;
    int dispHorizSize = 1919;
    int dispVertSize = 1079;
    bool aspectRatioFlag = true;
    int aspectRatio = 1;
    int aspectHorizSize = 0;  // with aspectRatio 15
    int aspectVertSize = 0;
    bool frameRateFlag = true;
    bool frameRateInd = false;
    int frameRateNr = 1;
    int frameRateDr = 2;
    int frameRateExp = 0;
};

// 00 00 01 0F and the header, with HRD_PARAM_FLAG 0, ending in stuffing.
std::vector<uint8_t> sequenceHeader(const Vc1Sequence& s);

}  // namespace morvale::testing
