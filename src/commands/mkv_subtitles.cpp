// SPDX-License-Identifier: MIT
#include <array>
#include <vector>

#include "commands/mkv_tracks.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "subtitles/dvd_palette.h"
#include "subtitles/pgs_writer.h"
#include "subtitles/unit_assembler.h"
#include "subtitles/unit_parser.h"
#include "subtitles/vobsub_writer.h"

namespace morvale {

namespace {

// The subtitle writers' bytes into an output file.
class FileByteSink final : public ByteSink {
  public:
    explicit FileByteSink(OutputFile& file) : file_(file) {}
    void write(std::span<const uint8_t> bytes) override {
        if (!bytes.empty()) file_.write(bytes.data(), bytes.size());
    }

  private:
    OutputFile& file_;
};

// The units of a part's piece records, in order, at their times on the timeline.
template <class Take>
void replayUnits(const std::string& records, size_t part, const Timeline& timeline,
                 AssemblyCounts& counts, Take&& take) {
    SourceFile file = SourceFile::open(records, ShareMode::Shared);
    SubpictureAssembler assembler;
    std::array<uint8_t, kPieceRecordHeader> header{};
    std::vector<uint8_t> bytes;
    while (file.read(header.data(), kPieceRecordHeader) == int64_t{kPieceRecordHeader}) {
        const auto field = [&](int at) {
            return uint32_t{header[at]} | uint32_t{header[at + 1]} << 8 |
                   uint32_t{header[at + 2]} << 16 | uint32_t{header[at + 3]} << 24;
        };
        bytes.resize(field(5));
        if (file.read(bytes.data(), int64_t(bytes.size())) != int64_t(bytes.size())) break;
        const std::optional<uint32_t> pts =
            header[0] & 2 ? std::optional<uint32_t>(field(1)) : std::nullopt;
        if (auto unit = assembler.feed(bytes, header[0] & 1, pts)) {
            const int64_t placed = timeline.placeOf(part, static_cast<uint32_t>(unit->pts));
            take(*unit, placed - unit->pts);
        }
    }
    assembler.finish();
    const AssemblyCounts& c = assembler.counts();
    counts.units += c.units;
    counts.cutShort += c.cutShort;
    counts.badSize += c.badSize;
    counts.strayPackets += c.strayPackets;
}

// The palette of a DVD title set's subpictures: VTS_nn_0.IFO beside VTS_nn_m.VOB.
DvdPaletteChoice paletteOf(const std::string& source) {
    const std::string name = fileNameOf(source);
    if (name.size() == 12 && name.rfind("VTS_", 0) == 0 && upperExtension(name) == ".VOB") {
        const std::string ifo = source.substr(0, source.size() - 5) + "0.IFO";
        if (fileExists(ifo)) {
            SourceFile file = SourceFile::open(ifo, ShareMode::Shared);
            std::vector<uint8_t> bytes(size_t(std::min<int64_t>(file.size(), 1 << 22)));
            bytes.resize(size_t(std::max<int64_t>(0, file.read(bytes.data(), int64_t(bytes.size())))));
            return chooseDvdPalette(std::span<const uint8_t>(bytes));
        }
    }
    return chooseDvdPalette(std::nullopt);
}

void shift(DisplayEvent& event, int64_t by) {
    event.start += by;
    if (event.stop) *event.stop += by;
    for (PaletteStep& step : event.fades)
        step.time += by;
}

// What was counted over the stream: events, forced ones, and the units that were left out.
struct SubtitleCounts {
    AssemblyCounts assembly;
    uint64_t events = 0;
    uint64_t forced = 0;
    uint64_t malformed = 0;
    std::string lastReason;
};

void countEvent(const UnitParse& parse, SubtitleCounts& counts) {
    if (!parse.malformed.empty()) {
        ++counts.malformed;
        counts.lastReason = parse.malformed;
    } else if (parse.event) {
        ++counts.events;
        if (parse.event->forced) ++counts.forced;
    }
}

std::optional<SpuLayout> firstLayout(const StreamWork& work, const Timeline& timeline) {
    std::optional<SpuLayout> layout;
    AssemblyCounts ignored;
    for (size_t p = 0; p < work.files.size() && !layout; ++p) {
        if (work.files[p].empty()) continue;
        replayUnits(work.files[p], p, timeline, ignored, [&](const SubpictureUnit& unit, int64_t) {
            if (!layout) layout = unit.layout();
        });
    }
    return layout;
}

}  // namespace

bool makeSubtitleTrack(const StreamWork& work, const Timeline& timeline, const MkvFeature& feature,
                       const SubtitleCanvas& canvas, const std::string& stem, MkvTrackInput& track,
                       MkvTracks& made, CommandHost& host) {
    const std::optional<SpuLayout> layout = firstLayout(work, timeline);
    if (!layout) return false;
    const bool pgs = *layout == SpuLayout::HdDvd;
    const std::string base = stem + "." + (pgs ? "sup-" : "sub-") + streamName(work).substr(9);
    const DvdPaletteChoice palette = paletteOf(feature.parts.front());
    if (!pgs && !palette.fromIfo) {
        host.log(streamName(work) + ": the subpictures take a standard palette (" + palette.reason + ").");
    }
    SubtitleCounts counts;
    OutputFile main = OutputFile::create(base + (pgs ? ".sup" : ".sub"));
    FileByteSink mainSink(main);
    if (pgs) {
        PgsWriter writer(mainSink, {canvas.width, canvas.height, 0});
        for (size_t p = 0; p < work.files.size(); ++p) {
            if (work.files[p].empty()) continue;
            replayUnits(work.files[p], p, timeline, counts.assembly, [&](const SubpictureUnit& unit, int64_t by) {
                UnitParse parse = parseSubpictureUnit(unit, palette.palette);
                countEvent(parse, counts);
                if (!parse.event) return;
                shift(*parse.event, by);
                writer.add(*parse.event);
            });
        }
        writer.finish(timeline.end());
        track.files = {{base + ".sup", 0}};
    } else {
        OutputFile index = OutputFile::create(base + ".idx");
        FileByteSink indexSink(index);
        VobSubWriter writer(mainSink, indexSink, {canvas.width, canvas.height, palette.palette, "", 0});
        for (size_t p = 0; p < work.files.size(); ++p) {
            if (work.files[p].empty()) continue;
            replayUnits(work.files[p], p, timeline, counts.assembly, [&](SubpictureUnit unit, int64_t by) {
                countEvent(parseSubpictureUnit(unit, palette.palette), counts);
                unit.pts += by;
                writer.add(unit);
            });
        }
        index.close();
        track.files = {{base + ".idx", 0}};
        made.files.push_back(base + ".idx");
    }
    main.close();
    made.files.push_back(base + (pgs ? ".sup" : ".sub"));
    const uint64_t leftOut = counts.assembly.dropped() + counts.malformed;
    if (leftOut > 0) {
        host.log(streamName(work) + ": " + std::to_string(leftOut) + " subpicture units left out" +
                 (counts.lastReason.empty() ? "." : " (" + counts.lastReason + ")."));
    }
    track.type = MkvTrackType::Subtitle;
    track.forced = counts.events > 0 && counts.forced == counts.events;
    return counts.events > 0;
}

}  // namespace morvale
