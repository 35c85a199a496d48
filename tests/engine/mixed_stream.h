// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include "support/program_stream_builder.h"

namespace morvale::testing {

// A program stream of 2,048-byte packs with one stream of every kind the engine parses,
// packets of shared slots, packets skipped whole that hide start codes, unrecognised
// streams, and payloads with picture start codes.
inline Bytes mixedProgramStream() {
    ProgramStream ps;
    ps.addPack({systemHeader(3, 1), pesPacket(0xFD, PesHeader().pts(90000).streamIdExtension(0x55),
                                              pictures(0x0D, 3, 400))});
    ps.addPack({privateStream1Packet(0x80, PesHeader().pts(90090), filler(700, 1)),
                privateStream1Packet(0x21, PesHeader().pts(91000), filler(300, 2))});
    ps.addPack({pesPacket(0xE1, PesHeader().pts(93003).dts(90000), mpeg2Pictures(4, 300))});
    ps.addPack(
        {privateStream2Packet(concat({Bytes{0x00, 0x00, 0x01, 0xE0, 0x07, 0x00}, filler(900, 3)})),
         paddingPacket(600, 0x00)});
    ps.addPack({privateStream1Packet(0xA1, PesHeader().pts(95000), filler(500, 4)),
                privateStream1Packet(0xB2, PesHeader().pts(95100).pstdBuffer(0x2000 | 80),
                                     filler(500, 5))});
    ps.addPack({privateStream1Packet(0xCA, PesHeader().pts(96000), filler(800, 6)),
                pesPacket(0xC0, PesHeader().pts(96100), filler(300, 7))});
    ps.addPack({pesPacket(0xFD, PesHeader().streamIdExtension(0x55), pictures(0x0D, 2, 500)),
                privateStream1Packet(0x61, PesHeader().pts(97000), filler(200, 8)),
                privateStream1Packet(0x88, PesHeader().pts(97100), filler(300, 9))});
    ps.addPack({pesPacket(0xE2, PesHeader().pts(98000).dts(97000), pictures(0x09, 2, 300)),
                pesPacket(0xE6, PesHeader(), filler(50)),
                privateStream1Packet(0x90, PesHeader(), filler(100, 10)),
                pesPacket(0xFD, PesHeader().pts(99000).streamIdExtension(0x57), filler(100))});
    ps.addPack({privateStream1Packet(0x22, PesHeader(), filler(900, 11)),
                pesPacket(0xE1, PesHeader(), mpeg2Pictures(2, 400))});
    ps.add(Bytes{0x00, 0x00, 0x01, 0xB9});
    return ps.bytes();
}

// The lines a Scan of the mixed stream logs with "Detailed info" ticked and the reports
// silent (the "It contains" line needs a whole first block).
inline std::vector<std::string> mixedStreamScanLines() {
    return {"VC-1 video stream 0 found!",
            "   First PTS = 00015F90",
            "Dolby Digital audio stream 0 found!",
            "   First PTS = 00015FEA",
            "Subpicture stream 1 found!",
            "   First PTS = 00016378",
            "MPEG-2 video stream 1 found!",
            "   First PTS = 00016B4B",
            "LPCM audio stream 1 found!",
            "   First PTS = 00017318",
            "Dolby TrueHD (MLP) audio stream 2 found!",
            "   First PTS = 0001737C",
            "Dolby Digital Plus audio stream 10 found!",
            "   First PTS = 00017700",
            "   MPEG audio stream 0xC0: left out.",
            "   Stream 0x61 shares subpicture slot 1 with stream 0x21: left out.",
            "   Stream 0x88 shares audio slot 0 with stream 0x80: left out.",
            "   Stream 0xE2 shares video slot 0 with stream 0x55: left out.",
            "Subpicture stream 2 found!",
            "   First PTS = 000182B8"};  // left by the discarded 0x57 packet
}

}  // namespace morvale::testing
