// SPDX-License-Identifier: MIT
#include "support/vc1_sequence_header.h"

#include "support/bit_writer.h"

namespace morvale::testing {

std::vector<uint8_t> sequenceHeader(const Vc1Sequence& s) {
    BitWriter w;
    w.bytes({0x00, 0x00, 0x01, 0x0F});
    w.bits(s.profile, 2).bits(s.level, 3).bits(s.colordiffFormat, 2);
    w.bits(7, 3).bits(31, 5).flag(true);  // FRMRTQ_POSTPROC, BITRTQ_POSTPROC, POSTPROCFLAG
    w.bits(s.maxCodedWidth, 12).bits(s.maxCodedHeight, 12);
    w.flag(s.pulldown).flag(s.interlace);
    w.flag(true).flag(false).flag(true).flag(false);  // TFCNTRFLAG, FINTERPFLAG, reserved, PSF
    w.flag(s.displayExt);
    if (s.displayExt) {
        w.bits(s.dispHorizSize, 14).bits(s.dispVertSize, 14);
        w.flag(s.aspectRatioFlag);
        if (s.aspectRatioFlag) {
            w.bits(s.aspectRatio, 4);
            if (s.aspectRatio == 15) w.bits(s.aspectHorizSize, 8).bits(s.aspectVertSize, 8);
        }
        w.flag(s.frameRateFlag);
        if (s.frameRateFlag) {
            w.flag(s.frameRateInd);
            if (s.frameRateInd) {
                w.bits(s.frameRateExp, 16);
            } else {
                w.bits(s.frameRateNr, 8).bits(s.frameRateDr, 4);
            }
        }
        w.flag(false);  // COLOR_FORMAT_FLAG
    }
    w.flag(false);                  // HRD_PARAM_FLAG
    w.flag(true).alignWithZeros();  // stuffing
    return w.data();
}

}  // namespace morvale::testing
