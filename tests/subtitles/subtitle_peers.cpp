// SPDX-License-Identifier: MIT
#include "subtitles/subtitle_peers.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include <gtest/gtest.h>

#include "sample_disc/access_unit.h"
#include "subtitles/colour_matrix.h"
#include "support/peer_tools.h"
#include "support/temp_dir.h"

namespace morvale::testing {

SubpictureSource subpictureSource(const std::vector<TimedUnit>& units) {
    SubpictureSource source;
    for (const TimedUnit& unit : units) {
        PesHeader header = PesHeader().pts(unit.pts);
        std::span<const uint8_t> rest = unit.bytes;
        bool first = true;
        while (!rest.empty()) {
            const size_t n = std::min(rest.size(), payloadRoomInPack(header, 1));
            const Bytes piece(rest.begin(), rest.begin() + static_cast<ptrdiff_t>(n));
            const Bytes p = pack({privateStream1Packet(0x20, header, piece)},
                                 PackHeader().scr(unit.pts > 9000 ? unit.pts - 9000 : 0));
            source.stream.insert(source.stream.end(), p.begin(), p.end());
            std::optional<uint32_t> pts;
            if (first) pts = static_cast<uint32_t>(unit.pts);
            source.pieces.push_back({piece, true, pts});
            rest = rest.subspan(n);
            header = PesHeader();
            first = false;
        }
    }
    return source;
}

std::vector<SubtitleFrame> probeSubtitleFrames(const std::string& path,
                                               const std::string& inputOptions, int stream) {
    std::vector<SubtitleFrame> frames;
    for (const std::string& line : shellLines(
             "ffprobe -v error " + inputOptions + " -select_streams s:" + std::to_string(stream) +
             " -show_frames -show_entries "
             "subtitle=pts,start_display_time,end_display_time,num_rects -of csv=p=0 " +
             quoted(path) + " 2>/dev/null")) {
        SubtitleFrame f;
        if (std::sscanf(line.c_str(), "%ld,%ld,%ld,%d", &f.ptsUs, &f.startMs, &f.endMs, &f.rects) ==
            4)
            frames.push_back(f);
    }
    return frames;
}

std::vector<Bytes> renderSubtitles(const std::string& path, int width, int height,
                                   const std::vector<double>& times,
                                   const std::string& inputOptions, int stream) {
    constexpr int kRate = 10;
    std::string select;
    for (double t : times)
        select += (select.empty() ? "" : "+") + std::string("eq(n\\,") +
                  std::to_string(static_cast<int>(t * kRate + 0.5)) + ")";
    const TempDir dir;
    const std::string out = dir.file("frames.rgba");
    // The canvas of a stream without a frame size of its own (DVD subpictures in a file
    // without video) would be 720x576.
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const std::string command =
        "ffmpeg -v error -copyts -canvas_size " + size + " " + inputOptions + " -i " +
        quoted(path) + " -f lavfi -i color=c=black@0:s=" + size + ":r=" + std::to_string(kRate) +
        ",format=rgba -filter_complex \"[1:v][0:s:" + std::to_string(stream) +
        "]overlay=format=rgb:eof_action=pass,select='" + select + "'\" -vsync 0 -frames:v " +
        std::to_string(times.size()) + " -f rawvideo -pix_fmt rgba -y " + quoted(out);
    if (!shellSucceeds(command)) return {};
    const Bytes all = readFileBytes(out);
    const size_t frame = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    std::vector<Bytes> frames;
    for (size_t at = 0; at + frame <= all.size(); at += frame)
        frames.emplace_back(all.begin() + static_cast<ptrdiff_t>(at),
                            all.begin() + static_cast<ptrdiff_t>(at + frame));
    return frames;
}

std::vector<PeerEvent> sourceEvents(const std::vector<SubtitleFrame>& frames) {
    std::vector<PeerEvent> events;
    for (const SubtitleFrame& f : frames) {
        if (f.rects == 0) continue;
        const double at = f.ptsUs / 1000.0;
        PeerEvent e{at + f.startMs, std::nullopt};
        if (f.endMs > f.startMs) e.stop = at + f.endMs;
        if (!events.empty() && !events.back().stop) events.back().stop = e.start;
        events.push_back(e);
    }
    return events;
}

std::vector<PeerEvent> pgsEvents(const std::vector<SubtitleFrame>& frames) {
    std::vector<PeerEvent> events;
    bool shown = false;
    for (const SubtitleFrame& f : frames) {
        const double at = f.ptsUs / 1000.0;
        if (f.rects > 0 && !shown) events.push_back({at, std::nullopt});
        if (f.rects == 0 && shown) events.back().stop = at;
        shown = f.rects > 0;
    }
    return events;
}

std::vector<PeerEvent> shiftedEvents(std::vector<PeerEvent> events, double ms) {
    for (PeerEvent& e : events) {
        e.start -= ms;
        if (e.stop) *e.stop -= ms;
    }
    return events;
}

void expectSameEvents(const std::vector<PeerEvent>& source, const std::vector<PeerEvent>& out,
                      std::optional<double> end) {
    ASSERT_EQ(out.size(), source.size());
    for (size_t i = 0; i < source.size(); ++i) {
        SCOPED_TRACE("event " + std::to_string(i));
        EXPECT_NEAR(out[i].start, source[i].start, 1.0);
        const std::optional<double> stop = source[i].stop ? source[i].stop : end;
        ASSERT_EQ(out[i].stop.has_value(), stop.has_value());
        if (stop) {
            EXPECT_NEAR(*out[i].stop, *stop, 1.0);
        }
    }
}

void expectSamePixels(const std::vector<Bytes>& source, const std::vector<Bytes>& out,
                      const std::vector<double>& times, int tolerance) {
    ASSERT_EQ(source.size(), times.size());
    ASSERT_EQ(out.size(), times.size());
    size_t shown = 0;
    for (const Bytes& frame : source)
        shown += visiblePixels(frame) > 0;
    EXPECT_GT(shown, 0u) << "nothing drawn to compare";
    for (size_t i = 0; i < times.size(); ++i) {
        SCOPED_TRACE("at " + std::to_string(times[i]) + " s");
        EXPECT_LE(largestChannelDifference(source[i], out[i]), tolerance);
    }
}

Bytes ifoWithPalette(const DvdPalette& palette) {
    Bytes ifo(2 * 2048, 0);
    const std::string magic = "DVDVIDEO-VTS";
    std::copy(magic.begin(), magic.end(), ifo.begin());
    ifo[0xCC + 3] = 1;  // VTS_PGCI in sector 1
    const size_t table = 2048, pgc = table + 0x10;
    ifo[table + 1] = 1;  // one program chain
    ifo[table + 8] = 0x81;
    ifo[table + 15] = 0x10;  // at 0x10 in the table
    for (size_t i = 0; i < 16; ++i) {
        const size_t at = pgc + 0xA4 + 4 * i;
        ifo[at + 1] = palette[i].y, ifo[at + 2] = palette[i].cr, ifo[at + 3] = palette[i].cb;
    }
    return ifo;
}

DvdPalette testPalette() {
    DvdPalette palette;
    sample::Xorshift random(99);
    for (PaletteEntry& entry : palette)
        entry = yCrCbOf({static_cast<uint8_t>(random.next()), static_cast<uint8_t>(random.next()),
                         static_cast<uint8_t>(random.next())},
                        ColourMatrix::Bt601);
    return palette;
}

std::string paletteOption(const DvdPalette& palette) {
    std::string text = "-palette ";
    for (size_t i = 0; i < palette.size(); ++i) {
        const Rgb c = rgbOf(palette[i], ColourMatrix::Bt601);
        char hex[8];
        std::snprintf(hex, sizeof hex, "%02x%02x%02x", c.r, c.g, c.b);
        text += (i == 0 ? "" : ",") + std::string(hex);
    }
    return text;
}

int largestChannelDifference(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size()) return 256;
    int largest = 0;
    for (size_t i = 0; i < a.size(); ++i)
        largest = std::max(largest, std::abs(int{a[i]} - int{b[i]}));
    return largest;
}

size_t visiblePixels(const Bytes& rgba) {
    size_t n = 0;
    for (size_t i = 3; i < rgba.size(); i += 4)
        n += rgba[i] != 0;
    return n;
}

}  // namespace morvale::testing
