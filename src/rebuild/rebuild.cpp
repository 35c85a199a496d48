#include "rebuild/rebuild.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "engine/demux.h"
#include "platform/clock.h"
#include "platform/paths.h"

namespace morvale {

namespace {

// Packs read per system call (the block buffer less the pack buffer at its start); the
// rules still run pack by pack.
constexpr int64_t kPacksPerChunk = (kBlockSize - kPackSize) / kPackSize;

struct PackStream {
    const StreamKind& kind;
    uint8_t id;
};

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
std::optional<int> scannedSlotOf(const EngineState& state, SlotKind kind, uint8_t id) {
    const auto ids = state.streamIds(kind).first(boxedSlots(kind));
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

// Drops a stream the last scan listed whose box is unticked; a kept stream gets its new id
// the first time it is met. Streams the scan did not list are kept.
bool keepStream(const PackStream& stream, const EngineState& state, const EngineHost& ticks,
                RebuildNumbering& numbering) {
    const SlotKind slotKind = stream.kind.slotKind;
    auto slot = scannedSlotOf(state, slotKind, stream.id);
    if (slot && !ticks.ticked(slotKind, *slot)) return false;
    uint8_t& mapped = numbering.streamIdMap[stream.id];
    if (mapped == RebuildNumbering::kUnassigned) {
        uint8_t& counter = keptCounter(numbering, slotKind);
        mapped = renumbered(stream.kind, stream.id, counter);
        ++counter;
    }
    return true;
}

int tickedCount(const EngineHost& ticks, SlotKind kind, int slots) {
    int count = 0;
    for (int slot = 0; slot < slots; ++slot)
        count += ticks.ticked(kind, slot) ? 1 : 0;
    return count;
}

// A system header's bounds become the numbers of ticked video and audio boxes; the flag
// bits beside them are kept.
void rewriteSystemHeaderBounds(uint8_t* pack, const EngineHost& ticks) {
    pack[kVideoBoundOffset] = static_cast<uint8_t>(
        (pack[kVideoBoundOffset] & 0xE0) + tickedCount(ticks, SlotKind::Video, kVideoSlots));
    pack[kAudioBoundOffset] = static_cast<uint8_t>(
        (pack[kAudioBoundOffset] & 0x03) + 4 * tickedCount(ticks, SlotKind::Audio, kAudioSlots));
}

void showProgress(EngineHost& host, const std::string& name, int64_t position, int64_t size,
                  double start) {
    host.progress("Rebuilding " + name + " " + progressText(position, size, start, host.clock()));
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
    streamIdMap.fill(kUnassigned);
    keptVideoCount = keptAudioCount = keptSubpictureCount = 0;
}

bool rebuildPack(uint8_t* pack, const EngineState& state, const EngineHost& ticks,
                 RebuildNumbering& numbering) {
    uint8_t streamId = pack[kFirstStreamIdOffset];
    if (streamId == kSystemHeaderStartCode) rewriteSystemHeaderBounds(pack, ticks);
    if (!startsWithPackStartCode(pack)) return false;

    const int headerLength = pack[kHeaderDataLengthOffset];
    const IdCarrier carrier = carrierOf(streamId);
    uint8_t* idByte = &pack[kFirstStreamIdOffset];
    if (carrier == IdCarrier::StreamIdExtension)
        idByte = &pack[kHeaderDataLengthOffset + headerLength];
    if (carrier == IdCarrier::SubStreamId)
        idByte = &pack[kHeaderDataLengthOffset + 1 + headerLength];
    const StreamKind* kind = streamKindOf(carrier, *idByte);
    if (kind == nullptr) return true;
    const PackStream stream{*kind, *idByte};
    bool kept = keepStream(stream, state, ticks, numbering);

    // An id no kept stream has been numbered for keeps its own byte.
    uint8_t mapped = numbering.streamIdMap[stream.id];
    if (mapped != RebuildNumbering::kUnassigned) *idByte = mapped;
    return kept;
}

void Rebuild(EngineState& state, EngineHost& host, SourceFile& source, OutputFile& output,
             RebuildNumbering& numbering) {
    host.setCancelEnabled(true);
    state.confirmCancel = true;
    state.cancelRequested = state.cancelledByUser = false;
    const double start = host.clock().now();
    const std::string name = fileNameOf(source.path());

    // The first 2,048 bytes of the block buffer hold the pack handled last (a short final
    // pack is laid over it, so its tests see that pack's bytes behind its own); the rest takes
    // the chunk being read.
    uint8_t* packBuffer = state.blockBuffer.get();
    uint8_t* chunk = packBuffer + kPackSize;
    int64_t position = source.position();
    int64_t size = source.size();

    // An empty source, or one already read to its end, is not read at all: there is no pack
    // and no progress to show.
    while (position != size && !state.cancelRequested) {
        const int64_t got = source.readSome(chunk, chunkLength(position));
        const uint8_t* lastPack = nullptr;
        for (int64_t offset = 0; offset < got && !state.cancelRequested; offset += kPackSize) {
            const int n = static_cast<int>(std::min<int64_t>(kPackSize, got - offset));
            uint8_t* pack = chunk + offset;
            if (n < kPackSize) {
                if (lastPack) std::memcpy(packBuffer, lastPack, kPackSize);
                std::memcpy(packBuffer, pack, static_cast<size_t>(n));
                pack = packBuffer;
            }
            position += n;
            if (position % kProgressInterval == 0) {
                showProgress(host, name, position, size, start);
                host.pumpEvents();
            }
            if (rebuildPack(pack, state, host, numbering)) {
                output.write(pack, static_cast<size_t>(n));
            }
            lastPack = pack;
        }
        if (lastPack && lastPack != packBuffer) std::memcpy(packBuffer, lastPack, kPackSize);
        source.seek(position);  // where the pack handled last ended
        size = source.size();
    }
    host.setCancelEnabled(false);
}

}  // namespace morvale
