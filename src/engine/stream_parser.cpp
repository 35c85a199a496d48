// SPDX-License-Identifier: MIT
#include "engine/stream_parser.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "engine/timestamp_text.h"

namespace morvale {

namespace {

// One bit for each 0x01 among the 16 bytes at p (SSE2 is part of x86-64).
uint32_t onesIn16(const uint8_t* p) {
#if defined(__x86_64__)
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(1))));
#else
    uint32_t mask = 0;
    for (int k = 0; k < 16; ++k)
        mask |= uint32_t{p[k] == 0x01} << k;
    return mask;
#endif
}

// "0x" and the identifier in two upper-case hexadecimal digits.
std::string hexByte(uint8_t id) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(id));
    return text;
}

constexpr std::string_view slotKindWord(SlotKind kind) {
    switch (kind) {
        case SlotKind::Video:
            return "video";
        case SlotKind::Audio:
            return "audio";
        case SlotKind::Subpicture:
            break;
    }
    return "subpicture";
}

// The start codes the parser stops at: those of its table, and the pack start code, whose
// next byte tells MPEG-1 packs from MPEG-2 ones.
constexpr auto kStops = [] {
    std::array<bool, 256> stops{};
    for (int id = 0; id < 256; ++id)
        stops[id] = kStartCodeActions[id] != StartCodeAction::None;
    stops[kPackStartCode] = true;
    return stops;
}();

constexpr bool stopsAt(uint32_t startCodeRegister) {
    return (startCodeRegister & 0xFFFFFF00u) == 0x00000100u && kStops[startCodeRegister & 0xFFu];
}

// The first byte after 00 00 01 BA: '0010' begins an ISO/IEC 11172-1 pack header, '01' an
// ISO/IEC 13818-1 one.
constexpr uint8_t kMpeg1PackMarker = 0x20;
constexpr uint8_t kMpeg2PackMarker = 0x40;

// The states of an MPEG-1 packet header (ParserState::mpeg1Fields).
constexpr uint8_t kMpeg1Fields = 1;         // stuffing, the STD buffer or the timestamps next
constexpr uint8_t kMpeg1StdSecondByte = 2;  // the second byte of the STD buffer field next

constexpr bool handsOn(PacketTarget target) {
    return target == PacketTarget::TargetVideo || target == PacketTarget::TargetAudio ||
           target == PacketTarget::TargetMpegAudio || target == PacketTarget::TargetSubpicture;
}

}  // namespace

StreamParser::StreamParser(SlotTable& owners, MessageLog& log, const EngineOptions& options,
                           PieceHandler& pieces)
    : slots_(owners), log_(log), options_(options), pieces_(pieces) {}

void StreamParser::feed(std::span<const uint8_t> block) {
    size_t i = 0;
    while (i < block.size()) {
        if (s_.inPayload) {
            shiftIn(block[i]);
            i += takePiece(block, i);  // 0 for an empty piece: the byte is examined again
        } else if (s_.skipRemaining > 0) {
            i += skipBytes(block, i);
        } else if (!readingHeaderBytes() && hunting() && (s_.startCodeRegister & 0xFFu) != 0x01u) {
            i += huntForStartCode(block, i);
        } else if (s_.lengthPhase == 2 && block.size() - i >= kLengthAndFixedHeader &&
                   !startCodeWithin(block.data() + i, kLengthAndFixedHeader)) {
            i += stepLengthAndFixedHeader(block.data() + i);
        } else {
            shiftIn(block[i]);
            stepByte(block[i]);
            ++i;
        }
    }
}

// Whether a start code the parser stops at ends at one of the n bytes, were they shifted in.
bool StreamParser::startCodeWithin(const uint8_t* bytes, size_t n) const {
    uint32_t reg = s_.startCodeRegister;
    for (size_t k = 0; k < n; ++k) {
        reg = (reg << 8) | bytes[k];
        if (stopsAt(reg)) return true;
    }
    return false;
}

// PES_packet_length and the fixed part of the header (flag bytes, PES_header_data_length)
// of a packet whose start code was just read, when no start code ends among them: the
// handlers the per-byte rules would pick, called in their order (the length phase comes
// first in the rules, and the fixed part right after it). A packet skipped whole takes only
// the two length bytes.
size_t StreamParser::stepLengthAndFixedHeader(const uint8_t* bytes) {
    shiftIn(bytes[0]);
    s_.lengthPhase = 1;
    shiftIn(bytes[1]);
    lengthLowByte();
    if (s_.packetTarget == PacketTarget::TargetSkipPacket || s_.mpeg1Fields != 0) return 2;
    for (size_t k = 2; k < kLengthAndFixedHeader; ++k) {
        shiftIn(bytes[k]);
        fixedHeaderByte(bytes[k]);
    }
    return kLengthAndFixedHeader;
}

void StreamParser::shiftInRun(const uint8_t* bytes, size_t n) {
    if (n >= 4) {
        const uint8_t* last = bytes + n - 4;
        s_.startCodeRegister = (uint32_t{last[0]} << 24) | (uint32_t{last[1]} << 16) |
                               (uint32_t{last[2]} << 8) | last[3];
        return;
    }
    for (size_t k = 0; k < n; ++k)
        shiftIn(bytes[k]);
}

// While hunting, a byte does nothing unless it completes a start code of the table: the
// bytes before it pass through the register in one step. Candidates are the bytes after a
// 0x01; the two bytes before the 0x01 come from the block or, at its start, the register.
// The gaps between packets are short (a pack header, a system header), so the 0x01 bytes
// are looked for 16 bytes at a time first and by memchr in longer stretches.
size_t StreamParser::huntForStartCode(std::span<const uint8_t> block, size_t i) {
    const uint8_t* data = block.data();
    const size_t end = block.size();
    // Whether the 0x01 at `one` and the byte after it end a start code of the table.
    auto endsStartCode = [&](size_t one) {
        const uint32_t before = one >= i + 2   ? (uint32_t{data[one - 2]} << 8) | data[one - 1]
                                : one == i + 1 ? ((s_.startCodeRegister & 0xFFu) << 8) | data[i]
                                               : s_.startCodeRegister & 0xFFFFu;
        return before == 0 && kStops[data[one + 1]];
    };
    // A pack header's marker byte is read here when the block holds it; the hunt goes on.
    auto stopsHunt = [&](size_t one) {
        if (!endsStartCode(one)) return false;
        if (data[one + 1] != kPackStartCode || one + 2 >= end) return true;
        packMarker(data[one + 2]);
        return false;
    };
    // The start code's last byte is left for the per-byte rules.
    auto upTo = [&](size_t one) {
        shiftInRun(data + i, one + 1 - i);
        return one + 1 - i;
    };
    constexpr size_t kWindow = 16;
    constexpr size_t kWindowedStretch = 64;
    size_t from = i;
    // Whole windows that leave the byte after their last one in the block.
    for (; from + kWindow < end && from - i < kWindowedStretch; from += kWindow) {
        for (uint32_t ones = onesIn16(data + from); ones != 0; ones &= ones - 1) {
            const size_t one = from + static_cast<size_t>(__builtin_ctz(ones));
            if (stopsHunt(one)) return upTo(one);
        }
    }
    while (from + 1 < end) {
        const void* found = std::memchr(data + from, 0x01, end - 1 - from);
        if (found == nullptr) break;
        const size_t one = static_cast<size_t>(static_cast<const uint8_t*>(found) - data);
        if (stopsHunt(one)) return upTo(one);
        from = one + 1;
    }
    // A 0x01 in the last byte waits for the next block's first byte.
    shiftInRun(data + i, end - i);
    return end - i;
}

// A packet skipped whole: as many of its bytes as the block holds, in one step.
size_t StreamParser::skipBytes(std::span<const uint8_t> block, size_t i) {
    size_t n = std::min(static_cast<size_t>(s_.skipRemaining), block.size() - i);
    shiftInRun(block.data() + i, n);
    s_.pesRemaining -= static_cast<int32_t>(n);
    s_.skipRemaining -= static_cast<int32_t>(n);
    return n;
}

// A payload piece: the rest of the packet or of the block, whichever ends first. Only its
// first byte has entered the register.
size_t StreamParser::takePiece(std::span<const uint8_t> block, size_t i) {
    if (s_.pesRemaining < 0) {  // the header overran PES_packet_length: no payload
        s_.inPayload = false;
        return 0;
    }
    size_t length = std::min(static_cast<size_t>(s_.pesRemaining), block.size() - i);
    s_.pieceLength = static_cast<int32_t>(length);
    if (handsOn(s_.packetTarget)) {
        pieces_.onPiece(s_, Piece{block.subspan(i, length), !s_.packetPieceTaken});
    }
    s_.packetPieceTaken = true;
    s_.pesRemaining -= static_cast<int32_t>(length);
    if (s_.pesRemaining == 0) s_.inPayload = false;
    return length;
}

// The header rules, in their order; the first whose condition holds applies. A pack start
// code met between packets has its next byte looked at, for the syntax of the packets that
// follow (the hunt does the same where the block holds both).
void StreamParser::stepByte(uint8_t b) {
    const StartCodeAction action = startCodeAction(s_.startCodeRegister);
    if (action != StartCodeAction::None) {
        startCode(static_cast<uint8_t>(s_.startCodeRegister));
    } else if (s_.lengthPhase == 2) {
        s_.lengthPhase = 1;  // the high byte of PES_packet_length
    } else if (s_.lengthPhase == 1) {
        lengthLowByte();
    } else if (s_.fixedHeaderRemaining > 0) {
        fixedHeaderByte(b);
    } else if (s_.ptsRemaining > 0) {
        ptsByte(b);
    } else if (s_.ptsDtsRemaining > 0) {
        ptsDtsByte(b);
    } else if (s_.extFlagsRemaining > 0) {
        extFlagsByte(b);
    } else if (s_.pstdRemaining > 0) {
        pstdByte();
    } else if (s_.ext2Remaining > 0) {
        ext2Byte(b);
    } else if (s_.headerDataRemaining > 0) {
        headerDataByte();
    } else if (s_.substreamRemaining > 0) {
        substreamByte(b);
    } else if (s_.lpcmHeaderRemaining > 0) {
        lpcmHeaderByte(b);
    } else if (s_.mlpHeaderRemaining > 0) {
        mlpHeaderByte();
    } else if (s_.mpeg1Fields > 0) {
        mpeg1FieldByte(b);
    } else if (s_.packMarkerNext) {
        packMarker(b);
    } else if (s_.startCodeRegister == (0x00000100u | kPackStartCode)) {
        s_.packMarkerNext = 1;
    }
    // Otherwise the byte lies between packets or in a packet not parsed.
}

// A start code of the table begins a packet. The other counters are not reset, so a start
// code inside a header starts the new packet with what is left of the old one's counters.
void StreamParser::startCode(uint8_t streamId) {
    s_.lengthPhase = 2;
    s_.packetStreamId = -1;
    s_.packetHasPts = false;
    s_.packetPieceTaken = false;
    switch (kStartCodeActions[streamId]) {
        case StartCodeAction::Video:
            videoStartCode(streamId);
            break;
        case StartCodeAction::ExtendedStreamId:
            // The slot follows from the stream_id_extension in the header.
            s_.videoKind = VideoKind::VideoVc1;
            s_.packetTarget = PacketTarget::TargetVideo;
            s_.packetStreamId = s_.lastVc1StreamId;
            break;
        case StartCodeAction::MpegAudio:
            s_.packetTarget = PacketTarget::TargetMpegAudio;
            s_.packetStreamId = streamId;
            nameLeftOut(IdCarrier::PesStreamId, streamId, [streamId] {
                return "   MPEG audio stream " + hexByte(streamId) + ": left out.";
            });
            break;
        case StartCodeAction::PrivateStream1:
            s_.packetTarget = PacketTarget::TargetPrivate1;
            break;
        case StartCodeAction::SkipPacket:
            s_.packetTarget = PacketTarget::TargetSkipPacket;
            break;
        case StartCodeAction::None:
            break;
    }
}

void StreamParser::videoStartCode(uint8_t streamId) {
    const SlotAssignment slot = *slotFor(IdCarrier::PesStreamId, streamId);
    const std::span<int32_t> video = slots_.ids(SlotKind::Video);
    s_.videoSlot = slot.slot;
    if (video[slot.slot] == -1) {
        video[slot.slot] = streamId;
        announce(slot.format, slot.slot);
        // The packet's own header is read afterwards: an MPEG-2 stream takes the PTS left by
        // the packets before it, unless its header carries a PTS and a DTS.
        if (slot.format == StreamFormat::Mpeg2Video) s_.videoPts = s_.packetPts;
    } else if (video[slot.slot] != streamId) {
        sharesSlot(IdCarrier::PesStreamId, streamId, slot, video[slot.slot]);
    }
    s_.videoKind = videoKindOf(slot.format);
    s_.packetTarget = PacketTarget::TargetVideo;
    s_.packetStreamId = streamId;
}

void StreamParser::lengthLowByte() {
    s_.lengthPhase = 0;
    s_.pesRemaining = static_cast<int32_t>(s_.startCodeRegister & 0xFFFFu);
    if (s_.packetTarget == PacketTarget::TargetSkipPacket) {
        s_.skipRemaining = s_.pesRemaining;
    } else if (s_.mpeg1Packets) {
        s_.mpeg1Fields = kMpeg1Fields;
    } else {
        s_.fixedHeaderRemaining = 3;
    }
}

// The packets after a pack header take its syntax; a byte that is neither marker leaves it.
void StreamParser::packMarker(uint8_t b) {
    s_.packMarkerNext = 0;
    if ((b & 0xF0) == kMpeg1PackMarker) s_.mpeg1Packets = true;
    if ((b & 0xC0) == kMpeg2PackMarker) s_.mpeg1Packets = false;
}

// An ISO/IEC 11172-1 packet header: stuffing bytes 0xFF, an optional STD buffer field ('01',
// scale and size), then '0010' and a PTS, '0011' and a PTS and a DTS, or 0x0F for none. The
// timestamps are read by the MPEG-2 rules with the header length they take.
void StreamParser::mpeg1FieldByte(uint8_t b) {
    if (s_.mpeg1Fields == kMpeg1StdSecondByte) {
        --s_.pesRemaining;
        s_.mpeg1Fields = kMpeg1Fields;
    } else if (b == 0xFF) {
        --s_.pesRemaining;
    } else if ((b & 0xC0) == 0x40) {
        --s_.pesRemaining;
        s_.mpeg1Fields = kMpeg1StdSecondByte;
    } else if ((b & 0xF0) == 0x20) {
        s_.mpeg1Fields = 0;
        s_.headerDataRemaining = 5;
        s_.ptsRemaining = 5;
        ptsByte(b);
    } else if ((b & 0xF0) == 0x30) {
        s_.mpeg1Fields = 0;
        s_.headerDataRemaining = 10;
        s_.ptsDtsRemaining = 10;
        ptsDtsByte(b);
    } else {  // 0x0F, or a byte no header holds
        --s_.pesRemaining;
        s_.mpeg1Fields = 0;
        headerEnd();
    }
}

// The two flag bytes and PES_header_data_length. The first flag byte is not examined:
// every packet is read with the MPEG-2 PES header syntax.
void StreamParser::fixedHeaderByte(uint8_t b) {
    --s_.pesRemaining;
    --s_.fixedHeaderRemaining;
    if (s_.fixedHeaderRemaining == 1) {
        s_.pesFlags2 = b;
    } else if (s_.fixedHeaderRemaining == 0) {
        s_.headerDataRemaining = b;
        const uint8_t timestamps = s_.pesFlags2 & 0xC0;
        if (timestamps == 0x80) s_.ptsRemaining = 5;
        if (timestamps == 0xC0) s_.ptsDtsRemaining = 10;
        if ((s_.pesFlags2 & 0xC1) == 0x01) s_.extFlagsRemaining = 1;
        if (s_.headerDataRemaining == 0) headerEnd();
    }
}

void StreamParser::takePts(uint32_t pts) {
    s_.packetPts = pts;
    s_.packetHasPts = true;
    s_.packetOwnPts = pts;
}

void StreamParser::ptsByte(uint8_t b) {
    --s_.pesRemaining;
    --s_.headerDataRemaining;
    --s_.ptsRemaining;
    s_.timestampAccumulator = assembleTimestamp(s_.timestampAccumulator, s_.ptsRemaining, b);
    if (s_.ptsRemaining == 0) {
        takePts(s_.timestampAccumulator);
        timestampFieldsEnd();
    }
}

void StreamParser::ptsDtsByte(uint8_t b) {
    --s_.pesRemaining;
    --s_.headerDataRemaining;
    --s_.ptsDtsRemaining;
    const int step = s_.ptsDtsRemaining >= 5 ? s_.ptsDtsRemaining - 5 : s_.ptsDtsRemaining;
    s_.timestampAccumulator = assembleTimestamp(s_.timestampAccumulator, step, b);
    if (s_.ptsDtsRemaining == 5) {
        takePts(s_.timestampAccumulator);
        s_.videoPts = s_.timestampAccumulator;
    } else if (s_.ptsDtsRemaining == 0) {
        s_.videoDts = s_.timestampAccumulator;
        timestampFieldsEnd();
    }
}

// After the timestamps: the header ends, or a video packet's PES extension follows.
void StreamParser::timestampFieldsEnd() {
    if (s_.headerDataRemaining == 0) {
        headerEnd();
    } else if (s_.packetTarget == PacketTarget::TargetVideo && (s_.pesFlags2 & 0x01)) {
        s_.extFlagsRemaining = 1;
    }
}

void StreamParser::extFlagsByte(uint8_t b) {
    --s_.pesRemaining;
    --s_.headerDataRemaining;
    --s_.extFlagsRemaining;
    if (s_.extFlagsRemaining != 0) return;
    s_.extFlags = b;
    if (s_.extFlags & 0x10) {  // P-STD_buffer_flag
        s_.pstdRemaining = 2;
    } else if (s_.extFlags & 0x01) {  // PES_extension_flag_2
        s_.ext2Remaining = 2;
    } else if (s_.headerDataRemaining == 0) {
        headerEnd();
    }
}

void StreamParser::pstdByte() {
    --s_.pesRemaining;
    --s_.headerDataRemaining;
    --s_.pstdRemaining;
    if (s_.pstdRemaining != 0) return;
    if (s_.extFlags & 0x01) {
        s_.ext2Remaining = 2;
    } else if (s_.headerDataRemaining == 0) {
        // The header ends like any other, so a private stream 1 packet whose header ends
        // with a P-STD buffer field still has its sub-stream header read.
        headerEnd();
    }
}

// The PES extension-2 field: marker and field length, then the stream_id_extension.
void StreamParser::ext2Byte(uint8_t b) {
    --s_.pesRemaining;
    --s_.headerDataRemaining;
    --s_.ext2Remaining;
    if (s_.ext2Remaining != 0) return;
    const uint8_t id = b & 0x7F;
    const auto slot = slotFor(IdCarrier::StreamIdExtension, id);
    const std::span<int32_t> video = slots_.ids(SlotKind::Video);
    if (slot) {
        s_.videoSlot = slot->slot;
        if (video[slot->slot] == -1) {
            video[slot->slot] = id;
            announce(slot->format, slot->slot);
            s_.videoPts = s_.packetPts;
        } else if (video[slot->slot] != id) {
            sharesSlot(IdCarrier::StreamIdExtension, id, *slot, video[slot->slot]);
        }
        s_.packetTarget = PacketTarget::TargetVideo;
        s_.packetStreamId = id;
        s_.lastVc1StreamId = id;
    } else {
        s_.packetTarget = PacketTarget::TargetDiscard;
    }
    if (s_.headerDataRemaining == 0) s_.inPayload = true;
}

// Header fields not used and stuffing bytes.
void StreamParser::headerDataByte() {
    --s_.pesRemaining;
    --s_.headerDataRemaining;
    if (s_.headerDataRemaining == 0) headerEnd();
}

void StreamParser::headerEnd() {
    if (s_.packetTarget == PacketTarget::TargetPrivate1) {
        s_.substreamRemaining = 4;
    } else {
        s_.inPayload = true;
    }
}

// The first bytes of a private stream 1 packet: sub_stream_id and, for audio, the number of
// frame headers and the first access unit pointer.
void StreamParser::substreamByte(uint8_t b) {
    --s_.pesRemaining;
    --s_.substreamRemaining;
    if (s_.substreamRemaining == 3) {
        const auto slot = slotFor(IdCarrier::SubStreamId, b);
        if (slot && slot->kind == SlotKind::Subpicture) subpictureStart(b, *slot);
    } else if (s_.substreamRemaining == 0) {
        audioDecision(static_cast<uint8_t>(s_.startCodeRegister >> 24));
    }
}

void StreamParser::subpictureStart(uint8_t subStreamId, const SlotAssignment& slot) {
    const bool plain = slot.format == StreamFormat::Subpicture;
    const std::span<int32_t> subpictures = slots_.ids(SlotKind::Subpicture);
    s_.subpictureSlot = slot.slot;
    if (subpictures[slot.slot] == -1) {
        subpictures[slot.slot] = subStreamId;
        announce(slot.format, slot.slot);
        if (plain && options_.mode == EngineMode::Scan && options_.details) {
            log_.log(firstPtsLine(s_.packetPts));
        }
    } else if (subpictures[slot.slot] != subStreamId) {
        sharesSlot(IdCarrier::SubStreamId, subStreamId, slot,
                   subpictures[slot.slot]);
    }
    if (plain && options_.mode == EngineMode::Scan) s_.packetPts = 0;
    s_.substreamRemaining = 0;
    s_.inPayload = true;
    s_.packetTarget = PacketTarget::TargetSubpicture;
    s_.packetStreamId = subStreamId;
}

void StreamParser::audioDecision(uint8_t r) {
    s_.audioSlot = r & 0x0F;
    const auto slot = slotFor(IdCarrier::SubStreamId, r);
    const std::span<int32_t> audio = slots_.ids(SlotKind::Audio);
    if (slot && slot->kind == SlotKind::Audio) {
        s_.audioSlot = slot->slot;
        s_.audioKind = audioKindOf(slot->format);
        s_.lastAudioSubstreamId = r;
        if (audio[slot->slot] < 0) {
            audio[slot->slot] = r;
            announce(slot->format, slot->slot);
            s_.audioPts = s_.packetPts;
        } else if (audio[slot->slot] != r) {
            sharesSlot(IdCarrier::SubStreamId, r, *slot, audio[slot->slot]);
        }
    }
    s_.packetStreamId = r;
    // The kind may be the one of an earlier packet when r matched no row.
    switch (s_.audioKind) {
        case AudioKind::AudioMlp:
            if (r == (s_.audioSlot | 0xB0)) {
                s_.mlpHeaderRemaining = 1;  // payload after 5 bytes
            } else {
                discardPayload();
            }
            break;
        case AudioKind::AudioLpcm:
            if (r == (s_.audioSlot | 0xA0)) {
                s_.lpcmHeaderRemaining = 3;  // payload after 7 bytes
            } else {
                discardPayload();
            }
            break;
        default:
            s_.packetTarget = r == (s_.audioSlot | s_.lastAudioSubstreamId)
                                  ? PacketTarget::TargetAudio
                                  : PacketTarget::TargetDiscard;
            s_.inPayload = true;  // payload after 4 bytes
            break;
    }
    s_.packetPts = 0;
}

void StreamParser::discardPayload() {
    s_.packetTarget = PacketTarget::TargetDiscard;
    s_.inPayload = true;
}

void StreamParser::lpcmHeaderByte(uint8_t b) {
    s_.lpcmHeader[3 - s_.lpcmHeaderRemaining] = b;
    --s_.pesRemaining;
    --s_.lpcmHeaderRemaining;
    if (s_.lpcmHeaderRemaining == 0) {
        s_.inPayload = true;
        s_.packetTarget = PacketTarget::TargetAudio;
    }
}

void StreamParser::mlpHeaderByte() {
    --s_.pesRemaining;
    --s_.mlpHeaderRemaining;
    if (s_.mlpHeaderRemaining == 0) {
        s_.inPayload = true;
        s_.packetTarget = PacketTarget::TargetAudio;
    }
}

// A stream is named as left out once per file, the first time a scan meets it.
template <class Line>
void StreamParser::nameLeftOut(IdCarrier carrier, uint8_t id, Line line) {
    if (options_.mode != EngineMode::Scan) return;
    auto& named = s_.namedLeftOut[static_cast<size_t>(carrier)];
    if (named.test(id)) return;
    named.set(id);
    log_.log(line());
}

// Its packets are parsed but counted and written nowhere: a slot and its output hold one
// stream, the one seen first in the file.
void StreamParser::sharesSlot(IdCarrier carrier, uint8_t id, const SlotAssignment& slot,
                              int32_t owner) {
    nameLeftOut(carrier, id, [&] {
        return "   Stream " + hexByte(id) + " shares " + std::string(slotKindWord(slot.kind)) +
               " slot " + std::to_string(slot.slot) + " with stream " +
               hexByte(static_cast<uint8_t>(owner)) + ": left out.";
    });
}

void StreamParser::announce(StreamFormat format, int slot) {
    if (options_.mode != EngineMode::Scan) return;
    std::string line(streamKindOf(format).foundMessage);
    line += std::to_string(slot);
    line += " found!";
    log_.log(line);
}

}  // namespace morvale
