// SPDX-License-Identifier: MIT
#include "rebuild/rebuild.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "engine/demux.h"
#include "platform/clock.h"
#include "platform/paths.h"

namespace morvale {

namespace {

// Packs read per system call (a block less one pack, as the engine reads); the rules still
// run pack by pack.
constexpr int64_t kPacksPerChunk = (kBlockSize - kPackSize) / kPackSize;
constexpr int64_t kChunkSize = kPacksPerChunk * kPackSize;

// A packet's stream: where its identifier lies in the pack, and the kind the identifier
// names (nullptr for none the program knows).
struct PacketStream {
    IdCarrier carrier;
    uint8_t* idByte;
    const StreamKind* kind;
};

// The first packet lies behind a 14-byte pack header.
constexpr int kFirstPacketOffset = kFirstStreamIdOffset - 3;
constexpr int kPesHeaderDataLengthAt = 8;  // from the packet's start code on

bool startsWithPackStartCode(const uint8_t* pack) {
    return pack[0] == 0x00 && pack[1] == 0x00 && pack[2] == 0x01 && pack[3] == kPackStartCode;
}

// Where the identifier of a pack's first packet lies: the sub-stream id of private stream 1,
// the stream_id_extension of 0xFD, or the stream id itself.
IdCarrier carrierOf(uint8_t streamId) {
    switch (streamId) {
        case kPrivateStream1:
            return IdCarrier::SubStreamId;
        case kExtendedStreamId:
            return IdCarrier::StreamIdExtension;
        default:
            return IdCarrier::PesStreamId;
    }
}

// The first slot with a tick box that the last scan gave this identifier, if any.
std::optional<int> scannedSlotOf(const SlotTable& scanned, SlotKind kind, uint8_t id) {
    const auto ids = scanned.ids(kind).first(static_cast<size_t>(boxedSlots(kind)));
    const auto found = std::find(ids.begin(), ids.end(), id);
    if (found == ids.end()) return std::nullopt;
    return static_cast<int>(found - ids.begin());
}

uint8_t& keptCounter(RebuildNumbering& numbering, SlotKind kind) {
    switch (kind) {
        case SlotKind::Video:
            return numbering.keptVideoCount;
        case SlotKind::Audio:
            return numbering.keptAudioCount;
        case SlotKind::Subpicture:
            break;
    }
    return numbering.keptSubpictureCount;
}

// The slot the last scan listed the stream in: only streams with a slot of their own are
// listed (MPEG audio never is).
std::optional<int> listedSlotOf(const PacketStream& stream, const SlotTable& scanned) {
    if (stream.kind == nullptr || !stream.kind->hasSlot) return std::nullopt;
    return scannedSlotOf(scanned, stream.kind->slotKind, *stream.idByte);
}

// A stream the last scan listed whose box is unticked is dropped; every other is kept.
bool keepStream(const PacketStream& stream, const SlotTable& scanned, const SlotSelection& ticks) {
    const auto slot = listedSlotOf(stream, scanned);
    return !slot || ticks.ticked(stream.kind->slotKind, *slot);
}

// A listed and kept stream gets its new id where it is first met; then the packet carries
// the new id of its stream, if it has one.
void renumber(const PacketStream& stream, const SlotTable& scanned, const SlotSelection& ticks,
              RebuildNumbering& numbering) {
    uint8_t& mapped = numbering.map(stream.carrier)[*stream.idByte];
    if (mapped == RebuildNumbering::kUnassigned && numbering.renumber &&
        listedSlotOf(stream, scanned) && keepStream(stream, scanned, ticks)) {
        uint8_t& counter = keptCounter(numbering, stream.kind->slotKind);
        mapped = renumbered(*stream.kind, *stream.idByte, counter);
        ++counter;
    }
    if (mapped != RebuildNumbering::kUnassigned) *stream.idByte = mapped;
}

// The stream of the packet whose start code begins at `at`, with the identifier where the
// MPEG-2 PES header puts it: the sub-stream id right after the header of private stream 1,
// the stream_id_extension as the header's last byte for 0xFD, else the stream id.
PacketStream packetStreamAt(uint8_t* pack, int at) {
    const uint8_t streamId = pack[at + 3];
    const IdCarrier carrier = carrierOf(streamId);
    const int headerEnd = at + kPesHeaderDataLengthAt + pack[at + kPesHeaderDataLengthAt];
    uint8_t* idByte = &pack[at + 3];
    if (carrier == IdCarrier::StreamIdExtension) idByte = &pack[headerEnd];
    if (carrier == IdCarrier::SubStreamId) idByte = &pack[headerEnd + 1];
    return {carrier, idByte, streamKindOf(carrier, *idByte)};
}

bool isPesStreamId(uint8_t streamId) {
    return streamId == kPrivateStream1 || streamId == kExtendedStreamId ||
           (streamId >= 0xC0 && streamId <= 0xEF);
}

// Renumbers the PES packets after the first one, as far as the pack holds them whole.
void renumberLaterPackets(uint8_t* pack, const SlotTable& scanned, const SlotSelection& ticks,
                          RebuildNumbering& numbering) {
    constexpr int kPacketHeader = 6;  // start code and PES_packet_length
    int at = kFirstPacketOffset;
    at += kPacketHeader + ((pack[at + 4] << 8) | pack[at + 5]);
    while (at + kPacketHeader <= kPackSize && pack[at] == 0 && pack[at + 1] == 0 &&
           pack[at + 2] == 1) {
        const int end = at + kPacketHeader + ((pack[at + 4] << 8) | pack[at + 5]);
        if (end > kPackSize) break;
        if (isPesStreamId(pack[at + 3]) && at + kPesHeaderDataLengthAt < end) {
            const PacketStream stream = packetStreamAt(pack, at);
            if (stream.idByte < pack + end) renumber(stream, scanned, ticks, numbering);
        }
        at = end;
    }
}

int tickedCount(const SlotSelection& ticks, SlotKind kind, int slots) {
    int count = 0;
    for (int slot = 0; slot < slots; ++slot)
        count += ticks.ticked(kind, slot) ? 1 : 0;
    return count;
}

// A system header's bounds become the numbers of ticked video and audio boxes; the flag
// bits beside them are kept.
void rewriteSystemHeaderBounds(uint8_t* pack, const SlotSelection& ticks) {
    pack[kVideoBoundOffset] = static_cast<uint8_t>(
        (pack[kVideoBoundOffset] & 0xE0) + tickedCount(ticks, SlotKind::Video, kVideoSlots));
    pack[kAudioBoundOffset] = static_cast<uint8_t>(
        (pack[kAudioBoundOffset] & 0x03) + 4 * tickedCount(ticks, SlotKind::Audio, kAudioSlots));
}

void showProgress(EngineHost& host, const std::string& name, int64_t position, int64_t size,
                  double start) {
    host.progress("Rebuilding " + name + " " + progressText(position, size, start, host.clock()),
                  megabytesRead(position, size));
}

// How much to read from position: whole packs, at most a chunk, and never past the pack that
// reaches the next progress point. So the events pumped there run after the last read and
// before the next one, as they would with one read per pack (a Cancel leaves nothing read
// ahead, and a file changed meanwhile is read as it is then).
int64_t chunkLength(int64_t position) {
    const int64_t toProgressPoint = kProgressInterval - position % kProgressInterval;
    const int64_t packs = std::min(kPacksPerChunk, (toProgressPoint + kPackSize - 1) / kPackSize);
    return packs * kPackSize;
}

}  // namespace

void RebuildNumbering::reset() {
    for (auto& ids : newIds)
        ids.fill(kUnassigned);
    keptVideoCount = keptAudioCount = keptSubpictureCount = 0;
}

bool rebuildPack(uint8_t* pack, const SlotTable& scanned, const SlotSelection& ticks,
                 RebuildNumbering& numbering) {
    uint8_t streamId = pack[kFirstStreamIdOffset];
    if (streamId == kSystemHeaderStartCode) rewriteSystemHeaderBounds(pack, ticks);
    if (!startsWithPackStartCode(pack)) return false;

    // The first packet decides; its identifier is read where its header says, whatever it is.
    const PacketStream first = packetStreamAt(pack, kFirstPacketOffset);
    if (first.kind != nullptr && !keepStream(first, scanned, ticks)) return false;
    if (first.kind != nullptr) renumber(first, scanned, ticks, numbering);
    renumberLaterPackets(pack, scanned, ticks, numbering);
    return true;
}

void Rebuild(EngineHost& host, RunControl& control, SourceFile& source, OutputFile& output,
             const RebuildRules& rules, RebuildNumbering& numbering) {
    host.setCancelEnabled(true);
    control.start(true);
    const double start = host.clock().now();
    const std::string name = fileNameOf(source.path());

    // The pack buffer holds the pack handled last (a short final pack is laid over it, so its
    // tests see that pack's bytes behind its own); the chunk buffer takes the chunk being read.
    uint8_t* packBuffer = numbering.lastPack.data();
    const auto chunkBuffer = std::make_unique_for_overwrite<uint8_t[]>(kChunkSize);
    uint8_t* chunk = chunkBuffer.get();
    int64_t position = source.position();
    int64_t size = source.size();

    // An empty source, or one already read to its end, is not read at all: there is no pack
    // and no progress to show.
    while (position != size && !control.cancelRequested) {
        int64_t got = source.readSome(chunk, chunkLength(position));
        // A read that ends inside a pack before the end of the file (a file still being
        // written) leaves that pack to the next read, so every pack is handled whole.
        if (position + got < size) got -= got % kPackSize;
        const uint8_t* lastPack = nullptr;
        for (int64_t offset = 0; offset < got && !control.cancelRequested; offset += kPackSize) {
            const int n = static_cast<int>(std::min<int64_t>(kPackSize, got - offset));
            uint8_t* pack = chunk + offset;
            if (n < kPackSize) {
                if (lastPack) std::memcpy(packBuffer, lastPack, kPackSize);
                std::memcpy(packBuffer, pack, static_cast<size_t>(n));
                pack = packBuffer;
            }
            position += n;
            if (crossedMultiple(position - n, position, kProgressInterval)) {
                checkOutputWrites();  // a write that failed behind
                showProgress(host, name, position, size, start);
                host.pumpEvents();
            }
            if (rebuildPack(pack, rules.scanned, rules.ticks, numbering)) {
                output.write(pack, static_cast<size_t>(n));
            }
            lastPack = pack;
        }
        if (lastPack && lastPack != packBuffer) std::memcpy(packBuffer, lastPack, kPackSize);
        source.seek(position);  // where the pack handled last ended
        size = source.size();
    }
    // Every write of this file done before the command goes on (to the next part or its end).
    finishOutputWrites();
    host.setCancelEnabled(false);
}

}  // namespace morvale
