// SPDX-License-Identifier: MIT
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
    const bool owner = ownsSlot(s);
    if (owner && s.packetTarget == PacketTarget::TargetVideo) countPictures(s, *stream, piece.bytes);
    if (options_.mode == EngineMode::Scan) {
        if (owner && s.packetTarget == PacketTarget::TargetAudio) firstAudioPiece(s, piece.bytes);
        if (owner && s.packetTarget == PacketTarget::TargetVideo) firstVideoPiece(s, piece.bytes);
    } else if (outputs_ != nullptr) {
        write(s, *stream, piece);
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
        const bool routed = options_.mode == EngineMode::Demux && outputs_ && outputs_->router;
        streamOutputs_.push_back(routed ? outputs_->router->open(stream, ownsSlot(s)) : nullptr);
    }
    return &scan_.streams[static_cast<size_t>(index)];
}

PayloadSink* PayloadHandler::outputOf(const ScannedStream& stream) const {
    return streamOutputs_[static_cast<size_t>(&stream - scan_.streams.data())];
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
        (outputs_ == nullptr ||
         (outputs_->video[s.videoSlot] == nullptr && outputOf(stream) == nullptr))) {
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

// The stream's own output, and the output of its slot when it owns it (MPEG audio has no
// slot; slots 16-31 have no box).
void PayloadHandler::write(const ParserState& s, const ScannedStream& stream, const Piece& piece) {
    const bool first = piece.firstOfPacket;
    const std::optional<uint32_t> pts =
        first && s.packetHasPts ? std::optional<uint32_t>(s.packetOwnPts) : std::nullopt;
    if (PayloadSink* own = outputOf(stream)) own->take(piece.bytes, first, pts);
    if (!stream.kind->hasSlot || stream.slot >= boxedSlots(stream.slotKind()) || !ownsSlot(s)) {
        return;
    }
    if (PayloadSink* boxed = outputs_->at(stream.slotKind(), stream.slot)) {
        boxed->take(piece.bytes, first, pts);
    }
}

}  // namespace morvale
