// SPDX-License-Identifier: MIT
// The subtitle layer over arbitrary bytes, chained as a conversion chains it: payload pieces
// into the unit assembler, each unit into the parser, its event into the PGS writer and the
// unit itself into the VobSub writer; the .sup is read back.
//
// Input: 7 control bytes, then the sub-stream's payload.
//   0-3   the piece cuts (see Cuts); each piece is a packet of its own
//   4     which packets carry a PTS: bit (n mod 8) of this byte for packet n
//   5     the PTS step between PTS packets, in units of 1,024 ticks, 0 as 256
//   6     the canvas: bit 0 HD (1920x1080) or SD (720x576); bit 1 a 1 s offset; bit 2 the
//         first PTS just below 2^32
//
// Checked: the assembler accounts for every byte; every unit handed out has its declared
// size; a parsed event lies inside its area's limits with one index per pixel; the .sup reads
// back into exactly the display sets written, every object decodes to its size; the .sub is
// whole 2,048-byte packs, one index line per unit written.

#include <algorithm>

#include "fuzz_support.h"
#include "subtitles/pgs_reader.h"
#include "subtitles/pgs_segments.h"
#include "subtitles/pgs_writer.h"
#include "subtitles/unit_assembler.h"
#include "subtitles/unit_parser.h"
#include "subtitles/vobsub_writer.h"

namespace morvale::fuzzing {
namespace {

constexpr size_t kControlBytes = 7;

void checkEvent(const DisplayEvent& e) {
    FUZZ_CHECK(e.area.width > 0 && e.area.height > 0);
    FUZZ_CHECK(int64_t{e.area.width} * e.area.height <= kMaxAreaPixels);
    FUZZ_CHECK(e.pixels.size() == static_cast<size_t>(e.area.width) * e.area.height);
    FUZZ_CHECK(!e.stop || *e.stop >= e.start);
    for (const PaletteStep& step : e.fades)
        FUZZ_CHECK(step.time >= e.start && (!e.stop || step.time < *e.stop));
}

void checkSup(const Bytes& sup, const PgsCounts& counts) {
    const PgsStream stream = readPgs(sup);
    FUZZ_CHECK(stream.error.empty());
    FUZZ_CHECK(stream.sets.size() == counts.displaySets);
    Bytes bitmap;
    for (const PgsDisplaySet& set : stream.sets) {
        for (const PgsObject& object : set.objects)
            FUZZ_CHECK(decodePgsRle(object.rle, object.width, object.height, bitmap).empty());
    }
}

}  // namespace
}  // namespace morvale::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace morvale;
    using namespace morvale::fuzzing;
    const ControlBytes control(data, size, kControlBytes);
    const std::span<const uint8_t> stream = control.data();
    const bool hd = (control[6] & 1) != 0;
    const int64_t offset = (control[6] & 2) != 0 ? 90000 : 0;
    uint32_t pts = (control[6] & 4) != 0 ? 0xFFFFF000u : 900000u;
    const uint32_t step = (control[5] == 0 ? 256u : control[5]) * 1024u;

    MemorySink sup, sub, idx;
    PgsWriter pgs(sup, {hd ? 1920 : 720, hd ? 1080 : 576, offset, ColourMatrix::Bt601});
    VobSubWriter vobsub(sub, idx, {720, 576, defaultDvdPalette(), "en", offset});
    SubpictureAssembler assembler;
    Cuts cuts(control[0], control[1], control[2], control[3]);
    size_t position = 0, packet = 0, unitBytes = 0;
    while (position < stream.size()) {
        const size_t n = cuts.next(stream.size() - position);
        std::optional<uint32_t> packetPts;
        if ((control[4] >> (packet++ % 8)) & 1) packetPts = pts += step;
        if (auto unit = assembler.feed(stream.subspan(position, n), true, packetPts)) {
            FUZZ_CHECK(declaredUnitSize(unit->bytes)->size == unit->bytes.size());
            unitBytes += unit->bytes.size();
            const UnitParse parsed = parseSubpictureUnit(*unit, defaultDvdPalette());
            FUZZ_CHECK(!parsed.event || parsed.malformed.empty());
            if (parsed.event) {
                checkEvent(*parsed.event);
                pgs.add(*parsed.event);
            }
            vobsub.add(*unit);
        }
        position += n;
    }
    assembler.finish();
    pgs.finish(int64_t{pts} + 90000);
    FUZZ_CHECK(unitBytes + assembler.counts().droppedBytes == stream.size());
    checkSup(sup.bytes(), pgs.counts());
    FUZZ_CHECK(sub.bytes().size() % 2048 == 0);
    FUZZ_CHECK(sub.bytes().size() / 2048 == vobsub.counts().packs);
    const std::string header = vobSubIndexHeader({});
    const auto headerLines = std::count(header.begin(), header.end(), '\n');
    const auto lines = std::count(idx.bytes().begin(), idx.bytes().end(), uint8_t{'\n'});
    FUZZ_CHECK(static_cast<uint64_t>(lines - headerLines) == vobsub.counts().units);
    return 0;
}
