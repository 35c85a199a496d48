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

// Offsets in a pack whose 14-byte pack header is followed directly by its first packet.
constexpr int kStreamIdOffset = 17;
constexpr int kHeaderLengthOffset = 22;
constexpr int kAudioBoundOffset = 23;
constexpr int kVideoBoundOffset = 24;

constexpr uint8_t kPrivateStream1 = 0xBD;
constexpr uint8_t kExtendedStreamId = 0xFD;
constexpr uint8_t kSystemHeader = 0xBB;

// Where the identifier of a pack's first packet lies.
enum class IdField { StreamId, SubStreamId, StreamIdExtension };

struct PackStream {
    SlotKind kind;
    IdField field;
    uint8_t id;
};

bool startsWithPackStartCode(const uint8_t* pack) {
    return pack[0] == 0x00 && pack[1] == 0x00 && pack[2] == 0x01 && pack[3] == 0xBA;
}

// The rule that matches a pack's first packet: private stream 1 sub-streams and VC-1 stream
// id extensions by the program's slot mapping, MPEG video stream ids 0xE0-0xE3 and MPEG
// audio stream ids 0xC0-0xDF by the stream id itself. At most one rule matches.
std::optional<PackStream> classify(uint8_t streamId, uint8_t subStreamId, uint8_t extensionId) {
    if (streamId == kPrivateStream1) {
        auto slot = slotFor(IdCarrier::SubStreamId, subStreamId);
        if (slot) return PackStream{slot->kind, IdField::SubStreamId, subStreamId};
        return std::nullopt;
    }
    if (streamId == kExtendedStreamId) {
        auto slot = slotFor(IdCarrier::StreamIdExtension, extensionId);
        if (slot) return PackStream{slot->kind, IdField::StreamIdExtension, extensionId};
        return std::nullopt;
    }
    if (streamId >= 0xE0 && streamId <= 0xE3) {
        return PackStream{SlotKind::Video, IdField::StreamId, streamId};
    }
    if (streamId >= 0xC0 && streamId <= 0xDF) {
        return PackStream{SlotKind::Audio, IdField::StreamId, streamId};
    }
    return std::nullopt;
}

bool slotTicked(const EngineHost& ticks, SlotKind kind, int slot) {
    switch (kind) {
        case SlotKind::Video:
            return ticks.videoTicked(slot);
        case SlotKind::Audio:
            return ticks.audioTicked(slot);
        case SlotKind::Subpicture:
            return ticks.subpictureTicked(slot);
    }
    return true;
}

// The first slot of the kind that the last scan gave this identifier, if any. Video looks
// at slots 0 and 1 only, audio and subpictures at the 16 slots with a tick box.
std::optional<int> scannedSlotOf(const EngineState& state, SlotKind kind, uint8_t id) {
    const int32_t* ids = nullptr;
    int count = 0;
    switch (kind) {
        case SlotKind::Video:
            ids = state.videoStreamIds.data(), count = kVideoSlots;
            break;
        case SlotKind::Audio:
            ids = state.audioStreamIds.data(), count = kAudioSlots;
            break;
        case SlotKind::Subpicture:
            ids = state.subpictureStreamIds.data(), count = kSubpictureOutputSlots;
            break;
    }
    for (int slot = 0; slot < count; ++slot) {
        if (ids[slot] == id) return slot;
    }
    return std::nullopt;
}

// The new id of the kind's next kept stream, numbered by the kind's counter.
uint8_t renumbered(SlotKind kind, uint8_t id, uint8_t counter) {
    switch (kind) {
        case SlotKind::Video:
            if (id == 0x55 || id == 0x56) return static_cast<uint8_t>(0x55 + counter);
            return static_cast<uint8_t>((id & 0xFE) | counter);
        case SlotKind::Audio:
            if ((id & 0xF0) == 0xC0) return static_cast<uint8_t>(0xC0 | counter);
            return static_cast<uint8_t>((id & 0xF8) | counter);
        case SlotKind::Subpicture:
            return static_cast<uint8_t>((id & 0xE0) | counter);
    }
    return id;
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
    auto slot = scannedSlotOf(state, stream.kind, stream.id);
    if (slot && !slotTicked(ticks, stream.kind, *slot)) return false;
    uint8_t& mapped = numbering.streamIdMap[stream.id];
    if (mapped == RebuildNumbering::kUnassigned) {
        uint8_t& counter = keptCounter(numbering, stream.kind);
        mapped = renumbered(stream.kind, stream.id, counter);
        ++counter;
    }
    return true;
}

int tickedCount(const EngineHost& ticks, SlotKind kind, int slots) {
    int count = 0;
    for (int slot = 0; slot < slots; ++slot)
        count += slotTicked(ticks, kind, slot) ? 1 : 0;
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
    const double elapsed = host.now() - start;
    const long double total = static_cast<long double>(elapsed) * static_cast<long double>(size) /
                              static_cast<long double>(position);
    const double remaining = static_cast<double>(total - elapsed) + kOneSecond;
    host.progress("Rebuilding " + name + " " + std::to_string(position / kMegabyte) + "/" +
                  std::to_string(size / kMegabyte) +
                  " Mbytes, Remaining time: " + host.formatLongTime(remaining));
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
    uint8_t streamId = pack[kStreamIdOffset];
    if (streamId == kSystemHeader) rewriteSystemHeaderBounds(pack, ticks);
    if (!startsWithPackStartCode(pack)) return false;

    int headerLength = pack[kHeaderLengthOffset];
    uint8_t* extensionId = &pack[kHeaderLengthOffset + headerLength];
    uint8_t* subStreamId = &pack[kHeaderLengthOffset + 1 + headerLength];
    auto stream = classify(streamId, *subStreamId, *extensionId);
    if (!stream) return true;
    bool kept = keepStream(*stream, state, ticks, numbering);

    uint8_t* idByte = nullptr;
    switch (stream->field) {
        case IdField::StreamId:
            idByte = &pack[kStreamIdOffset];
            break;
        case IdField::SubStreamId:
            idByte = subStreamId;
            break;
        case IdField::StreamIdExtension:
            idByte = extensionId;
            break;
    }
    // An id no kept stream has been numbered for keeps its own byte.
    uint8_t mapped = numbering.streamIdMap[stream->id];
    if (mapped != RebuildNumbering::kUnassigned) *idByte = mapped;
    return kept;
}

void Rebuild(EngineState& state, EngineHost& host, SourceFile& source, OutputFile& output,
             RebuildNumbering& numbering) {
    host.setCancelEnabled(true);
    state.confirmCancel = true;
    state.cancelRequested = false;
    const double start = host.now();
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
        const int64_t got = source.read(chunk, chunkLength(position));
        if (got == 0) throw FileError(kStreamReadError);  // nothing before the end
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
