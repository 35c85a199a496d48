// SPDX-License-Identifier: MIT
#include "subtitles/vobsub_writer.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "subtitles/colour_matrix.h"

namespace morvale {

namespace {

constexpr size_t kPack = 2048;
constexpr size_t kPackHeader = 14;
constexpr size_t kPesHeader = 9;  // start code, id, length, two flag bytes, header length
constexpr size_t kPtsField = 5;
constexpr size_t kPaddingHeader = 6;
constexpr uint8_t kSubStream = 0x20;
constexpr uint32_t kMuxRate = 25200;  // 10.08 Mbit/s, the DVD rate, in 50 bytes/s
constexpr uint64_t kTimestampMask = (uint64_t{1} << 33) - 1;

void putStartCode(std::vector<uint8_t>& out, uint8_t id) {
    out.insert(out.end(), {0x00, 0x00, 0x01, id});
}

// MPEG-2 pack header: '01', SCR base and extension with marker bits, mux rate, no stuffing.
void putPackHeader(std::vector<uint8_t>& out, uint64_t scr) {
    putStartCode(out, 0xBA);
    out.push_back(static_cast<uint8_t>(0x44 | ((scr >> 27) & 0x38) | ((scr >> 28) & 0x03)));
    out.push_back(static_cast<uint8_t>(scr >> 20));
    out.push_back(static_cast<uint8_t>(((scr >> 12) & 0xF8) | 0x04 | ((scr >> 13) & 0x03)));
    out.push_back(static_cast<uint8_t>(scr >> 5));
    out.push_back(static_cast<uint8_t>(((scr << 3) & 0xF8) | 0x04));  // extension 0
    out.push_back(0x01);
    out.push_back(static_cast<uint8_t>(kMuxRate >> 14));
    out.push_back(static_cast<uint8_t>(kMuxRate >> 6));
    out.push_back(static_cast<uint8_t>((kMuxRate << 2) | 0x03));
    out.push_back(0xF8);
}

// '0010', PTS[32..30], marker, PTS[29..15], marker, PTS[14..0], marker.
void putPts(std::vector<uint8_t>& out, uint64_t pts) {
    out.push_back(static_cast<uint8_t>(0x21 | ((pts >> 29) & 0x0E)));
    out.push_back(static_cast<uint8_t>(pts >> 22));
    out.push_back(static_cast<uint8_t>(((pts >> 14) & 0xFE) | 0x01));
    out.push_back(static_cast<uint8_t>(pts >> 7));
    out.push_back(static_cast<uint8_t>(((pts << 1) & 0xFE) | 0x01));
}

std::string hexColour(const PaletteEntry& entry) {
    const Rgb c = rgbOf(entry, ColourMatrix::Bt601);
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x%02x", c.r, c.g, c.b);
    return text;
}

std::string languageCode(const std::string& language) {
    const bool letters =
        language.size() == 2 &&
        std::all_of(language.begin(), language.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    return letters ? language : "--";
}

void writeText(ByteSink& sink, const std::string& text) {
    sink.write({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

}  // namespace

std::string vobSubIndexHeader(const VobSubOptions& options) {
    std::string text = "# VobSub index file, v7 (do not modify this line!)\n#\n";
    text += "size: " + std::to_string(options.width) + "x" + std::to_string(options.height) + "\n";
    text += "org: 0, 0\nscale: 100%, 100%\nalpha: 100%\nsmooth: OFF\nfadein/out: 0, 0\n";
    text += "align: OFF at LEFT TOP\ntime offset: 0\nforced subs: OFF\n";
    text += "palette: ";
    for (size_t i = 0; i < options.palette.size(); ++i)
        text += (i == 0 ? "" : ", ") + hexColour(options.palette[i]);
    text += "\ncustom colors: OFF, tridx: 0000, colors: 000000, 000000, 000000, 000000\n";
    text += "langidx: 0\n\nid: " + languageCode(options.language) + ", index: 0\n";
    return text;
}

std::string vobSubIndexLine(int64_t ticks, uint64_t filePosition) {
    const int64_t ms = (ticks + 45) / 90;
    char text[96];
    std::snprintf(text, sizeof text,
                  "timestamp: %02" PRId64 ":%02" PRId64 ":%02" PRId64 ":%03" PRId64
                  ", filepos: %09" PRIx64 "\n",
                  ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000, filePosition);
    return text;
}

VobSubWriter::VobSubWriter(ByteSink& sub, ByteSink& idx, const VobSubOptions& options)
    : sub_(sub), idx_(idx), options_(options) {
    writeText(idx_, vobSubIndexHeader(options_));
}

void VobSubWriter::add(const SubpictureUnit& unit) {
    if (unit.layout() != SpuLayout::Dvd) {
        ++counts_.notDvd;
        return;
    }
    const int64_t time = unit.pts - options_.offset;
    if (time < 0) {
        ++counts_.outOfRange;
        return;
    }
    if (lastPts_ && unit.pts < *lastPts_) {
        ++counts_.outOfOrder;
        return;
    }
    lastPts_ = unit.pts;
    writeText(idx_, vobSubIndexLine(time, position_));
    const uint64_t pts = static_cast<uint64_t>(time) & kTimestampMask;
    std::span<const uint8_t> rest = unit.bytes;
    std::optional<uint64_t> packetPts = pts;
    do {
        rest = rest.subspan(putPack(rest, packetPts, pts));
        packetPts.reset();
    } while (!rest.empty());
    ++counts_.units;
}

// One pack with as much of `payload` as it holds; returns how much that was.
size_t VobSubWriter::putPack(std::span<const uint8_t> payload, std::optional<uint64_t> pts,
                             uint64_t scr) {
    const size_t header = kPesHeader + (pts ? kPtsField : 0);
    const size_t room = kPack - kPackHeader - header - 1;
    const size_t n = std::min(room, payload.size());
    const size_t gap = room - n;
    const size_t stuffing = gap < kPaddingHeader ? gap : 0;
    pack_.clear();
    putPackHeader(pack_, scr);
    putStartCode(pack_, 0xBD);
    const size_t length = header - 6 + stuffing + 1 + n;
    pack_.insert(pack_.end(), {static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length),
                               0x81, static_cast<uint8_t>(pts ? 0x80 : 0x00),
                               static_cast<uint8_t>((pts ? kPtsField : 0) + stuffing)});
    if (pts) putPts(pack_, *pts);
    pack_.insert(pack_.end(), stuffing, 0xFF);
    pack_.push_back(kSubStream);
    pack_.insert(pack_.end(), payload.begin(), payload.begin() + static_cast<ptrdiff_t>(n));
    if (gap >= kPaddingHeader) {
        putStartCode(pack_, 0xBE);
        const size_t padding = gap - kPaddingHeader;
        pack_.insert(pack_.end(),
                     {static_cast<uint8_t>(padding >> 8), static_cast<uint8_t>(padding)});
        pack_.insert(pack_.end(), padding, 0xFF);
    }
    sub_.write(pack_);
    position_ += pack_.size();
    ++counts_.packs;
    return n;
}

}  // namespace morvale
