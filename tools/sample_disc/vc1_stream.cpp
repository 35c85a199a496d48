#include "vc1_stream.h"

#include <array>

#include "support/bit_writer.h"

namespace morvale::sample {

namespace {

using testing::BitWriter;

// Ends a BDU: a one bit and zero bits up to the byte boundary.
Bytes flushed(BitWriter& w) {
    w.flag(true).alignWithZeros();
    return w.data();
}

// Coded order of a closed GOP as display positions and picture types.
struct CodedFrame {
    int display;
    char type;
};
constexpr std::array<CodedFrame, kFramesPerGop> kGop = {{{0, 'I'},
                                                         {3, 'P'},
                                                         {1, 'B'},
                                                         {2, 'B'},
                                                         {6, 'P'},
                                                         {4, 'B'},
                                                         {5, 'B'},
                                                         {9, 'P'},
                                                         {7, 'B'},
                                                         {8, 'B'},
                                                         {11, 'P'},
                                                         {10, 'B'}}};

// Typical coded sizes at about 2.5 Mbit/s; each frame varies by up to a quarter.
size_t nominalSize(char type) {
    switch (type) {
        case 'I':
            return 36000;
        case 'P':
            return 9000;
        default:
            return 4500;
    }
}

// The frame header of a progressive frame without pull-down, frame counter or pan-scan:
// PTYPE, RNDCTRL, BFRACTION for B frames, PQINDEX and HALFQP.
void frameHeader(BitWriter& w, char type, int rounding) {
    switch (type) {
        case 'I':
            w.bits(0b110, 3);
            break;
        case 'P':
            w.bits(0b0, 1);
            break;
        default:
            w.bits(0b10, 2);
            break;
    }
    w.bits(rounding, 1);
    if (type == 'B') w.bits(0b000, 3);  // BFRACTION 1/2
    const int pqindex = type == 'I' ? 4 : type == 'P' ? 6 : 8;
    w.bits(pqindex, 5).bits(0, 1);  // HALFQP (PQINDEX <= 8)
}

// Coded macroblock data stand-in: bytes that never hold two zero bytes in a row, so no
// start code is emulated, ending with the BDU's flush byte.
void payload(Bytes& out, size_t n, Xorshift& random) {
    uint8_t previous = 0xFF;
    for (size_t i = 0; i + 1 < n; ++i) {
        uint8_t b = static_cast<uint8_t>(random.next() >> 24);
        if (b == 0 && previous == 0) b = 0x5A;
        out.push_back(b);
        previous = b;
    }
    out.push_back(0x80);
}

}  // namespace

Bytes vc1SequenceHeader() {
    BitWriter w;
    w.bytes({0x00, 0x00, 0x01, 0x0F});
    w.bits(3, 2)                 // PROFILE: advanced
        .bits(3, 3)              // LEVEL 3
        .bits(1, 2)              // COLORDIFF_FORMAT 4:2:0
        .bits(7, 3)              // FRMRTQ_POSTPROC
        .bits(31, 5)             // BITRTQ_POSTPROC
        .flag(false)             // POSTPROCFLAG
        .bits(1920 / 2 - 1, 12)  // MAX_CODED_WIDTH
        .bits(1080 / 2 - 1, 12)  // MAX_CODED_HEIGHT
        .flag(false)             // PULLDOWN
        .flag(false)             // INTERLACE
        .flag(false)             // TFCNTRFLAG
        .flag(false)             // FINTERPFLAG
        .flag(true)              // reserved
        .flag(false)             // PSF
        .flag(true)              // DISPLAY_EXT
        .bits(1920 - 1, 14)      // DISP_HORIZ_SIZE
        .bits(1080 - 1, 14)      // DISP_VERT_SIZE
        .flag(true)              // ASPECT_RATIO_FLAG
        .bits(1, 4)              // ASPECT_RATIO: 1:1
        .flag(true)              // FRAMERATE_FLAG
        .flag(false)             // FRAMERATEIND: numerator and denominator codes
        .bits(1, 8)              // FRAMERATENR: 24000
        .bits(2, 4)              // FRAMERATEDR: 1001
        .flag(true)              // COLOR_FORMAT_FLAG
        .bits(1, 8)              // COLOR_PRIM: BT.709
        .bits(1, 8)              // TRANSFER_CHAR: BT.709
        .bits(1, 8)              // MATRIX_COEF: BT.709
        .flag(false);            // HRD_PARAM_FLAG
    return flushed(w);
}

Bytes vc1EntryPointHeader() {
    BitWriter w;
    w.bytes({0x00, 0x00, 0x01, 0x0E});
    w.flag(false)      // BROKEN_LINK
        .flag(true)    // CLOSED_ENTRY
        .flag(false)   // PANSCAN_FLAG
        .flag(true)    // REFDIST_FLAG
        .flag(true)    // LOOPFILTER
        .flag(false)   // FASTUVMC
        .flag(false)   // EXTENDED_MV
        .bits(0, 2)    // DQUANT
        .flag(true)    // VSTRANSFORM
        .flag(false)   // OVERLAP
        .bits(3, 2)    // QUANTIZER: uniform for all frames
        .flag(false)   // CODED_SIZE_FLAG
        .flag(false)   // RANGE_MAPY_FLAG
        .flag(false);  // RANGE_MAPUV_FLAG
    return flushed(w);
}

std::vector<Vc1Frame> vc1Frames(int gopCount, uint64_t firstPts) {
    std::vector<Vc1Frame> frames;
    Xorshift random(0x56433100u);
    const Bytes sequence = vc1SequenceHeader();
    const Bytes entry = vc1EntryPointHeader();
    uint64_t coded = 0;
    for (int gop = 0; gop < gopCount; ++gop) {
        for (const CodedFrame& f : kGop) {
            Vc1Frame frame;
            frame.type = f.type;
            frame.gopStart = f.type == 'I';
            Bytes& out = frame.unit.bytes;
            if (frame.gopStart) {
                out = sequence;
                out.insert(out.end(), entry.begin(), entry.end());
            }
            BitWriter header;
            header.bytes({0x00, 0x00, 0x01, 0x0D});
            frameHeader(header, f.type, static_cast<int>(coded & 1));
            header.alignWithZeros();
            out.insert(out.end(), header.data().begin(), header.data().end());
            const size_t nominal = nominalSize(f.type);
            const size_t size = nominal * 3 / 4 + random.next() % (nominal / 2);
            payload(out, size, random);

            const uint64_t display = static_cast<uint64_t>(gop) * kFramesPerGop + f.display;
            frame.unit.pts = firstPts + frameTime(display);
            // Decoded while the frame before it in coded order is shown.
            const uint64_t decode = coded == 0 ? firstPts - (frameTime(1) - frameTime(0))
                                               : firstPts + frameTime(coded - 1);
            if (decode != frame.unit.pts) frame.unit.dts = decode;
            frames.push_back(std::move(frame));
            ++coded;
        }
    }
    return frames;
}

}  // namespace morvale::sample
