#include "engine/payload_handler.h"

#include "engine/picture_counter.h"
#include "engine/timestamp_text.h"

namespace morvale {

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

PayloadHandler::PayloadHandler(EngineState& state, EngineHost& host, EngineMode mode,
                               const DemuxOutputs* outputs, const ReportSet& reports)
    : state_(state), host_(host), mode_(mode), outputs_(outputs), reports_(reports) {}

void PayloadHandler::onPiece(const ParserState& s, const Piece& piece) {
    if (!ownsSlot(s)) return;
    if (piece.firstOfPacket) takePacketTimes(s);
    if (s.packetTarget == PacketTarget::TargetVideo) {
        findFramePeriod(s, piece.bytes);
        countPictures(s, piece.bytes);
    }
    if (mode_ == EngineMode::Scan) {
        if (s.packetTarget == PacketTarget::TargetAudio) firstAudioPiece(s, piece.bytes);
        if (s.packetTarget == PacketTarget::TargetVideo) firstVideoPiece(s, piece.bytes);
    } else {
        write(s, piece);
    }
}

bool PayloadHandler::ownsSlot(const ParserState& s) const {
    switch (s.packetTarget) {
        case PacketTarget::TargetVideo:
            return s.videoSlot >= 0 && s.videoSlot < kVideoSlots &&
                   state_.videoStreamIds[s.videoSlot] == s.packetStreamId;
        case PacketTarget::TargetAudio:
            return s.audioSlot >= 0 && s.audioSlot < kAudioSlots &&
                   state_.audioStreamIds[s.audioSlot] == s.packetStreamId;
        case PacketTarget::TargetSubpicture:
            return s.subpictureSlot >= 0 && s.subpictureSlot < kSubpictureSlots &&
                   state_.subpictureStreamIds[s.subpictureSlot] == s.packetStreamId;
        default:
            return false;  // MPEG audio has no slot of its own
    }
}

// A packet's own PTS and, for LPCM, the format bytes of the slot's first packet.
void PayloadHandler::takePacketTimes(const ParserState& s) {
    StreamTimes& times = state_.streamTimes;
    if (s.packetTarget == PacketTarget::TargetAudio && s.audioKind == AudioKind::AudioLpcm &&
        !state_.lpcmHeaders[s.audioSlot]) {
        state_.lpcmHeaders[s.audioSlot] = s.lpcmHeader;
    }
    if (!s.packetHasPts) return;
    switch (s.packetTarget) {
        case PacketTarget::TargetVideo:
            times.video[s.videoSlot].take(s.packetOwnPts);
            break;
        case PacketTarget::TargetAudio:
            times.audio[s.audioSlot].take(s.packetOwnPts);
            break;
        case PacketTarget::TargetSubpicture:
            times.subpicture[s.subpictureSlot].take(s.packetOwnPts);
            break;
        default:
            break;
    }
}

// Only while the search goes on: it gives up after the first MiB of the stream.
void PayloadHandler::findFramePeriod(const ParserState& s, std::span<const uint8_t> bytes) {
    FramePeriodFinder& finder = periodFinders_[s.videoSlot];
    if (finder.done()) return;
    finder.look(bytes, s.videoKind);
    if (finder.done()) state_.framePeriods[s.videoSlot] = finder.period();
}

void PayloadHandler::countPictures(const ParserState& s, std::span<const uint8_t> bytes) {
    if (!host_.countFrames()) return;
    if (mode_ == EngineMode::Demux && !host_.ticked(SlotKind::Video, s.videoSlot)) return;
    const int pictures = countPictureStartCodes(bytes, s.videoKind, pictureRegisters_[s.videoSlot]);
    state_.frameCounts[s.videoSlot] += pictures;
}

// The time base of subpicture records is lowered in every scan; "Detailed info" only
// decides whether the line and the report are shown.
void PayloadHandler::takeFirstTimestamp(uint32_t pts) {
    if (host_.details()) host_.log(firstPtsLine(pts));
    if (pts < state_.minFirstPts) state_.minFirstPts = pts;
}

void PayloadHandler::firstAudioPiece(const ParserState& s, std::span<const uint8_t> bytes) {
    if (state_.audioPtsReported[s.audioSlot]) return;
    state_.audioPtsReported[s.audioSlot] = true;
    takeFirstTimestamp(s.audioPts);
    if (host_.details() && s.audioKind == AudioKind::AudioDdPlus) {
        reports_.ac3(bytes, s.audioSlot, host_);
    }
}

void PayloadHandler::firstVideoPiece(const ParserState& s, std::span<const uint8_t> bytes) {
    if (state_.videoPtsReported[s.videoSlot]) return;
    state_.videoPtsReported[s.videoSlot] = true;
    takeFirstTimestamp(s.videoPts);
    if (!host_.details()) return;
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

// The ticks are read at every piece: a box unticked during the run stops its output.
void PayloadHandler::write(const ParserState& s, const Piece& piece) {
    if (outputs_ == nullptr) return;
    OutputFile* out = nullptr;
    switch (s.packetTarget) {
        case PacketTarget::TargetVideo:
            if (host_.ticked(SlotKind::Video, s.videoSlot)) out = outputs_->video[s.videoSlot];
            break;
        case PacketTarget::TargetAudio:
            if (host_.ticked(SlotKind::Audio, s.audioSlot)) out = outputs_->audio[s.audioSlot];
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
    if (s.subpictureSlot >= kSubpictureOutputSlots ||
        !host_.ticked(SlotKind::Subpicture, s.subpictureSlot)) {
        return;
    }
    OutputFile* out = outputs_->subpicture[s.subpictureSlot];
    if (out == nullptr) return;
    if (piece.firstOfPacket && s.packetHasPts) {
        const auto header = subpictureRecordHeader(s.packetOwnPts - state_.minFirstPts);
        out->write(header.data(), header.size());
    }
    if (!piece.bytes.empty()) out->write(piece.bytes.data(), piece.bytes.size());
}

}  // namespace morvale
