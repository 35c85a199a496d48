#include "evo_muxer.h"

#include <algorithm>
#include <optional>
#include <span>
#include <stdexcept>

#include "support/program_stream_builder.h"

namespace morvale::sample {

namespace {

using testing::PackHeader;
using testing::PesHeader;

constexpr uint8_t kVc1Extension = 0x55;
// Packets reach the decoder 0.3 s before they are decoded.
constexpr uint64_t kLead = 27000;
// One 2,048-byte pack at the mux rate, in 27 MHz system clock units (rounded up).
constexpr uint64_t kPackClock = (2048 * 27000000ULL + kMuxRate * 50 - 1) / (kMuxRate * 50);
constexpr size_t kSubStreamHeaderSize = 4;  // Dolby: id, frame count, first access unit

// One pack's worth of content, placed by its delivery time.
struct Slot {
    uint64_t due;  // delivery time (90 kHz)
    int rank;      // order among equal times: navigation, video, audio, subpictures
    Bytes packet;  // empty for a navigation pack, built once its place is known
    uint64_t vobuStart = 0, vobuEnd = 0;
};

// How much of `remaining` bytes a packet with `room` bytes of space takes: all that fits,
// less where the rest of the pack would be 1-7 bytes, too small for a padding packet (pack
// header stuffing would move the packet off offset 14, where HD DVD tools expect it).
size_t fitPayload(size_t room, size_t remaining) {
    size_t n = std::min(room, remaining);
    const size_t gap = room - n;
    if (gap > 0 && gap < 8) n -= 8 - gap;
    return n;
}

uint64_t deliveryTime(uint64_t decodeTime) {
    return decodeTime > kLead ? decodeTime - kLead : 0;
}

void addVideo(std::vector<Slot>& slots, const std::vector<Vc1Frame>& frames) {
    for (size_t i = 0; i < frames.size(); ++i) {
        const Vc1Frame& frame = frames[i];
        const AccessUnit& unit = frame.unit;
        const uint64_t decode = unit.dts.value_or(unit.pts);
        if (frame.gopStart) {
            // The navigation pack of the GOP: its presentation span, the I frame's first.
            Slot nav{deliveryTime(decode), 0, {}, unit.pts, unit.pts};
            for (size_t k = i; k < frames.size() && (k == i || !frames[k].gopStart); ++k)
                nav.vobuEnd = std::max(nav.vobuEnd, frames[k].unit.pts + frameTime(1));
            slots.push_back(std::move(nav));
        }
        PesHeader first = PesHeader().pts(unit.pts).streamIdExtension(kVc1Extension);
        if (unit.dts) first.dts(*unit.dts);
        const PesHeader later = PesHeader().streamIdExtension(kVc1Extension);
        size_t at = 0;
        while (at < unit.bytes.size()) {
            const PesHeader& header = at == 0 ? first : later;
            const size_t n = fitPayload(testing::payloadRoomInPack(header), unit.bytes.size() - at);
            slots.push_back(
                {deliveryTime(decode), 1,
                 testing::pesPacket(0xFD, header, std::span(unit.bytes).subspan(at, n))});
            at += n;
        }
    }
}

// Audio syncframes run on from packet to packet; a packet's PTS is that of the first frame
// that begins in it, and its sub-stream header counts the frames that begin in it and
// points at the first.
void addAudio(std::vector<Slot>& slots, const AudioTrack& track, int rank) {
    Bytes stream;
    std::vector<size_t> starts;
    for (const AccessUnit& frame : track.frames) {
        starts.push_back(stream.size());
        stream.insert(stream.end(), frame.bytes.begin(), frame.bytes.end());
    }
    const size_t roomWithPts = testing::payloadRoomInPack(PesHeader().pts(0), kSubStreamHeaderSize);
    const size_t roomWithout = testing::payloadRoomInPack(PesHeader(), kSubStreamHeaderSize);
    size_t at = 0;
    while (at < stream.size()) {
        const size_t next = static_cast<size_t>(std::lower_bound(starts.begin(), starts.end(), at) -
                                                starts.begin());
        const size_t remaining = stream.size() - at;
        size_t n = fitPayload(roomWithPts, remaining);
        bool withPts = next < starts.size() && starts[next] < at + n;
        if (!withPts) {
            const size_t limit = next < starts.size() ? starts[next] - at : remaining;
            n = fitPayload(roomWithout, std::min(remaining, limit));
        }
        size_t count = 0;
        while (next + count < starts.size() && starts[next + count] < at + n)
            ++count;
        const size_t pointer = count > 0 ? starts[next] - at + 1 : 0;
        Bytes payload = {track.subStreamId, static_cast<uint8_t>(count),
                         static_cast<uint8_t>(pointer >> 8), static_cast<uint8_t>(pointer)};
        payload.insert(payload.end(), stream.begin() + static_cast<std::ptrdiff_t>(at),
                       stream.begin() + static_cast<std::ptrdiff_t>(at + n));
        const size_t current = static_cast<size_t>(
            std::upper_bound(starts.begin(), starts.end(), at) - starts.begin() - 1);
        const PesHeader header = withPts ? PesHeader().pts(track.frames[next].pts) : PesHeader();
        slots.push_back({deliveryTime(track.frames[current].pts), rank,
                         testing::pesPacket(0xBD, header, payload)});
        at += n;
    }
}

void addSubpictures(std::vector<Slot>& slots, const SubpictureTrack& track, int rank) {
    for (const AccessUnit& unit : track.units) {
        // A unit larger than one pack goes on in packets without a PTS, delivered with it.
        PesHeader header = PesHeader().pts(unit.pts);
        std::span<const uint8_t> rest = unit.bytes;
        do {
            const size_t n = std::min(rest.size(), testing::payloadRoomInPack(header, 1));
            slots.push_back(
                {deliveryTime(unit.pts), rank,
                 testing::privateStream1Packet(track.subStreamId, header, rest.first(n))});
            rest = rest.subspan(n);
            header = PesHeader();
        } while (!rest.empty());
    }
}

void putBe32(Bytes& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

uint8_t bcd(uint64_t value) {
    return static_cast<uint8_t>(((value / 10) % 10) << 4 | (value % 10));
}

// Elapsed time as BCD hours, minutes, seconds and frames (frame-rate flag 11).
void putElapsed(Bytes& out, size_t at, uint64_t ticks) {
    const uint64_t seconds = ticks / kClock;
    out[at] = bcd(seconds / 3600);
    out[at + 1] = bcd(seconds / 60 % 60);
    out[at + 2] = bcd(seconds % 60);
    out[at + 3] = static_cast<uint8_t>(0xC0 | bcd(ticks % kClock * 24 / kClock));
}

struct NavigationFields {
    uint32_t packNumber;  // logical block of the pack in its file
    uint32_t lastPack;    // relative number of the VOBU's last pack
    uint32_t scr;         // low 32 bits of the pack's SCR base
    uint64_t start, end;  // presentation span of the VOBU
    uint64_t elapsed;     // from the start of the title
};

// The navigation pack: pack header, system header, presentation control information (PCI)
// and data search information (DSI), exactly 2,048 bytes.
Bytes navigationPack(const PackHeader& packFields, const NavigationFields& f) {
    const std::vector<testing::SystemHeaderStream> bounds = {
        {0xB9, true, 1024},  // all video streams: 1 MiB
        {0xB8, false, 64},   // all audio streams: 8 KiB
        {0xBD, true, 58},    // private stream 1
        {0xBF, true, 2},     // private stream 2
    };
    Bytes pci(980, 0);  // sub-stream 0x00
    putBe32(pci, 1, f.packNumber);
    putBe32(pci, 13, static_cast<uint32_t>(f.start));
    putBe32(pci, 17, static_cast<uint32_t>(f.end));
    putElapsed(pci, 25, f.elapsed);
    Bytes dsi(1018, 0);
    dsi[0] = 0x01;
    putBe32(dsi, 1, f.scr);
    putBe32(dsi, 5, f.packNumber);
    putBe32(dsi, 9, f.lastPack);
    dsi[26] = 1;  // VOB id
    dsi[28] = 1;  // cell id
    putElapsed(dsi, 29, f.elapsed);
    Bytes out = testing::concat(
        {testing::packHeader(packFields), testing::systemHeader(3, 1, bounds, kMuxRate),
         testing::privateStream2Packet(pci), testing::privateStream2Packet(dsi)});
    if (out.size() != testing::kPackSize) throw std::logic_error("navigation pack size");
    return out;
}

}  // namespace

Bytes muxPart(const FeaturePart& part, uint64_t& clock) {
    std::vector<Slot> slots;
    addVideo(slots, part.video);
    int rank = 2;
    for (const AudioTrack& track : part.audio)
        addAudio(slots, track, rank++);
    for (const SubpictureTrack& track : part.subpictures)
        addSubpictures(slots, track, rank++);
    std::stable_sort(slots.begin(), slots.end(), [](const Slot& a, const Slot& b) {
        return a.due != b.due ? a.due < b.due : a.rank < b.rank;
    });

    std::vector<size_t> navigation;
    for (size_t i = 0; i < slots.size(); ++i)
        if (slots[i].rank == 0) navigation.push_back(i);

    Bytes out;
    out.reserve(slots.size() * testing::kPackSize);
    size_t vobu = 0;
    for (size_t i = 0; i < slots.size(); ++i) {
        clock = std::max(clock + kPackClock, slots[i].due * 300);
        const PackHeader fields = PackHeader().scr(clock / 300, clock % 300).rate(kMuxRate);
        Bytes pack;
        if (slots[i].rank == 0) {
            const size_t end = vobu + 1 < navigation.size() ? navigation[vobu + 1] : slots.size();
            pack = navigationPack(
                fields, {static_cast<uint32_t>(i), static_cast<uint32_t>(end - i - 1),
                         static_cast<uint32_t>(clock / 300), slots[i].vobuStart, slots[i].vobuEnd,
                         slots[i].vobuStart - part.titleStartPts});
            ++vobu;
        } else {
            pack = testing::pack({slots[i].packet}, fields);
        }
        // The first packet of every pack directly follows a plain 14-byte pack header.
        if (pack.size() != testing::kPackSize || (pack[13] & 0x07) != 0) {
            throw std::logic_error("a pack that is not 2,048 bytes with a plain header");
        }
        out.insert(out.end(), pack.begin(), pack.end());
    }
    return out;
}

}  // namespace morvale::sample
