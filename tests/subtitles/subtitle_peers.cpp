#include "subtitles/subtitle_peers.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

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
                                               const std::string& inputOptions) {
    std::vector<SubtitleFrame> frames;
    for (const std::string& line :
         shellLines("ffprobe -v error " + inputOptions +
                    " -select_streams s:0 -show_frames -show_entries "
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
                                   const std::string& inputOptions) {
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
        ",format=rgba -filter_complex \"[1:v][0:s:0]overlay=format=rgb:eof_action=pass,select='" +
        select + "'\" -vsync 0 -frames:v " + std::to_string(times.size()) +
        " -f rawvideo -pix_fmt rgba -y " + quoted(out);
    if (!shellSucceeds(command)) return {};
    const Bytes all = readFileBytes(out);
    const size_t frame = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    std::vector<Bytes> frames;
    for (size_t at = 0; at + frame <= all.size(); at += frame)
        frames.emplace_back(all.begin() + static_cast<ptrdiff_t>(at),
                            all.begin() + static_cast<ptrdiff_t>(at + frame));
    return frames;
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
