#include "engine/payload_handler.h"

#include "engine/picture_counter.h"
#include "engine/timestamp_text.h"

namespace morvale {

namespace {

// Where the identifier of the packet being parsed is carried, by what the packet is.
std::optional<IdCarrier> carrierOf(const ParserState& s) {
    switch (s.packetTarget) {
        case PacketTarget::TargetVideo:
            return s.videoKind == VideoKind::VideoVc1 ? IdCarrier::StreamIdExtension
                                                      : IdCarrier::PesStreamId;
        case PacketTarget::TargetAudio:
        case PacketTarget::TargetSubpicture:
            return IdCarrier::SubStreamId;
        case PacketTarget::TargetMpegAudio:
            return IdCarrier::PesStreamId;
        default:
            return std::nullopt;
    }
}

}  // namespace

std::array<uint8_t, 10> subpictureRecordHeader(uint32_t relativeTime) {
    return {'S',
            'P',
            static_cast<uint8_t>(relativeTime),
            static_cast<uint8_t>(relativeTime >> 8),
            static_cast<uint8_t>(relativeTime >> 16),
            static_cast<uint8_t>(relativeTime >> 24),
            0,
            0,
            0,
            0};
}

PayloadHandler::PayloadHandler(PartScan& scan, EngineHost& host, const EngineOptions& options,
                               const DemuxOutputs* outputs, const ReportSet& reports)
    : scan_(scan), host_(host), options_(options), outputs_(outputs), reports_(reports) {
    for (auto& records : records_)
        records.fill(-1);
}

void PayloadHandler::onPiece(const ParserState& s, const Piece& piece) {
    ScannedStream* stream = recordOf(s);
    if (stream == nullptr) return;
    if (piece.firstOfPacket) takePacket(s, *stream);
    stream->payloadBytes += static_cast<int64_t>(piece.bytes.size());
    findHeader(*stream, piece.bytes);
    if (!ownsSlot(s)) return;
    if (s.packetTarget == PacketTarget::TargetVideo) countPictures(s, *stream, piece.bytes);
    if (options_.mode == EngineMode::Scan) {
        if (s.packetTarget == PacketTarget::TargetAudio) firstAudioPiece(s, piece.bytes);
        if (s.packetTarget == PacketTarget::TargetVideo) firstVideoPiece(s, piece.bytes);
    } else {
        write(s, piece);
    }
}

// The record of the packet's stream, made at its first piece; none for a packet of no known
// stream (an identifier no row names, a VC-1 packet before any stream_id_extension).
ScannedStream* PayloadHandler::recordOf(const ParserState& s) {
    const std::optional<IdCarrier> carrier = carrierOf(s);
    if (!carrier || s.packetStreamId < 0 || s.packetStreamId > 0xFF) return nullptr;
    const auto id = static_cast<uint8_t>(s.packetStreamId);
    int16_t& index = records_[static_cast<size_t>(*carrier)][id];
    if (index < 0) {
        const StreamKind* kind = streamKindOf(*carrier, id);
        if (kind == nullptr) return nullptr;
        index = static_cast<int16_t>(scan_.streams.size());
        headerFinders_.emplace_back();
        ScannedStream& stream = scan_.streams.emplace_back();
        stream.id = {*carrier, id};
        stream.kind = kind;
        stream.slot = id - kind->first;
    }
    return &scan_.streams[static_cast<size_t>(index)];
}

bool PayloadHandler::ownsSlot(const ParserState& s) const {
    const SlotTable& slots = scan_.slotTable;
    switch (s.packetTarget) {
        case PacketTarget::TargetVideo:
            return s.videoSlot >= 0 && s.videoSlot < kVideoSlots &&
                   slots.owner(SlotKind::Video, s.videoSlot) == s.packetStreamId;
        case PacketTarget::TargetAudio:
            return s.audioSlot >= 0 && s.audioSlot < kAudioSlots &&
                   slots.owner(SlotKind::Audio, s.audioSlot) == s.packetStreamId;
        case PacketTarget::TargetSubpicture:
            return s.subpictureSlot >= 0 && s.subpictureSlot < kSubpictureSlots &&
                   slots.owner(SlotKind::Subpicture, s.subpictureSlot) == s.packetStreamId;
        default:
            return false;  // MPEG audio has no slot of its own
    }
}

// A packet's own PTS and, for LPCM, the format bytes of the stream's first packet.
void PayloadHandler::takePacket(const ParserState& s, ScannedStream& stream) {
    if (s.packetTarget == PacketTarget::TargetAudio && s.audioKind == AudioKind::AudioLpcm &&
        !stream.lpcmHeader) {
        stream.lpcmHeader = s.lpcmHeader;
    }
    if (s.packetHasPts) stream.times.take(s.packetOwnPts);
}

// Only while the search goes on: it gives up after the first MiB of the stream.
void PayloadHandler::findHeader(ScannedStream& stream, std::span<const uint8_t> bytes) {
    HeaderFinder& finder = headerFinders_[static_cast<size_t>(&stream - scan_.streams.data())];
    if (finder.done()) return;
    finder.look(bytes, stream.kind->format);
    if (finder.done()) stream.facts = finder.facts();
}

// A Demux counts the pictures of the slots it writes.
void PayloadHandler::countPictures(const ParserState& s, ScannedStream& stream,
                                   std::span<const uint8_t> bytes) {
    if (!options_.countFrames) return;
    if (options_.mode == EngineMode::Demux &&
        (outputs_ == nullptr || outputs_->video[s.videoSlot] == nullptr)) {
        return;
    }
    stream.pictures += countPictureStartCodes(bytes, s.videoKind, pictureRegisters_[s.videoSlot]);
}

// The time base of subpicture records is lowered in every scan; "Detailed info" only
// decides whether the line and the report are shown.
void PayloadHandler::takeFirstTimestamp(uint32_t pts) {
    if (options_.details) host_.log(firstPtsLine(pts));
    if (!scan_.firstTimestamp || pts < *scan_.firstTimestamp) scan_.firstTimestamp = pts;
}

void PayloadHandler::firstAudioPiece(const ParserState& s, std::span<const uint8_t> bytes) {
    if (audioPtsReported_[s.audioSlot]) return;
    audioPtsReported_[s.audioSlot] = true;
    takeFirstTimestamp(s.audioPts);
    if (options_.details && s.audioKind == AudioKind::AudioDdPlus) {
        reports_.ac3(bytes, s.audioSlot, host_);
    }
}

void PayloadHandler::firstVideoPiece(const ParserState& s, std::span<const uint8_t> bytes) {
    if (videoPtsReported_[s.videoSlot]) return;
    videoPtsReported_[s.videoSlot] = true;
    takeFirstTimestamp(s.videoPts);
    if (!options_.details) return;
    switch (s.videoKind) {
        case VideoKind::VideoVc1:
            reports_.vc1(bytes, s.videoPts, host_.clock().decimalSeparator(), host_);
            break;
        case VideoKind::VideoH264:
            reports_.h264(bytes, host_);
            break;
        case VideoKind::VideoMpeg2:
            reports_.mpeg2Video(bytes, s.videoPts, host_);
            break;
    }
}

void PayloadHandler::write(const ParserState& s, const Piece& piece) {
    if (outputs_ == nullptr) return;
    OutputFile* out = nullptr;
    switch (s.packetTarget) {
        case PacketTarget::TargetVideo:
            out = outputs_->video[s.videoSlot];
            break;
        case PacketTarget::TargetAudio:
            out = outputs_->audio[s.audioSlot];
            break;
        case PacketTarget::TargetSubpicture:
            writeSubpicture(s, piece);
            return;
        default:
            break;
    }
    if (out != nullptr && !piece.bytes.empty()) out->write(piece.bytes.data(), piece.bytes.size());
}

// A record starts exactly where a subpicture packet's own header carried a PTS; the
// payload of a packet without one continues the current record.
void PayloadHandler::writeSubpicture(const ParserState& s, const Piece& piece) {
    if (s.subpictureSlot >= kSubpictureOutputSlots) return;
    OutputFile* out = outputs_->subpicture[s.subpictureSlot];
    if (out == nullptr) return;
    if (piece.firstOfPacket && s.packetHasPts) {
        const auto header = subpictureRecordHeader(s.packetOwnPts - options_.subpictureTimeBase);
        out->write(header.data(), header.size());
    }
    if (!piece.bytes.empty()) out->write(piece.bytes.data(), piece.bytes.size());
}

}  // namespace morvale
