// SPDX-License-Identifier: MIT
#include "engine/stream_headers.h"

#include <algorithm>
#include <array>

#include "reports/audio_headers.h"

namespace morvale {

namespace {

// Payload looked at per stream and file before giving up, and the most a cut header may
// keep waiting for the next piece.
constexpr size_t kLookLimit = 1 << 20;
constexpr size_t kLongestHeader = 4096;

constexpr uint8_t kMpegSequenceHeader = 0xB3;
constexpr uint8_t kVc1SequenceHeader = 0x0F;
constexpr uint8_t kH264SequenceParameterSet = 7;

// Where the header begins that the search found, and whether it was read or will never be.
enum class Reading { Read, NoHeader, Cut };

template <typename Header>
Reading outcomeOf(const Header& header) {
    return header.whole() ? Reading::Read : header.cut ? Reading::Cut : Reading::NoHeader;
}

Reading readVideoHeader(std::span<const uint8_t> fields, StreamFormat format, StreamFacts& facts) {
    switch (format) {
        case StreamFormat::H264Video: {
            const H264SequenceParameters p = readH264SequenceParameters(fields);
            facts = {p.framePeriod, p.width, p.height};
            return outcomeOf(p);
        }
        case StreamFormat::Vc1Video: {
            const Vc1SequenceHeader h = readVc1SequenceHeader(fields);
            facts = {h.framePeriod, h.displayWidth.value_or(h.codedWidth),
                     h.displayHeight.value_or(h.codedHeight)};
            return outcomeOf(h);
        }
        default: {
            const MpegVideoSequence s = readMpegVideoSequence(fields);
            facts = {s.framePeriod, s.width, s.height};
            return outcomeOf(s);
        }
    }
}

// Whether the start code byte begins the format's sequence header (H.264: forbidden_zero_bit
// 0 and nal_unit_type 7, whatever nal_ref_idc).
bool isSequenceHeader(uint8_t code, StreamFormat format) {
    if (format == StreamFormat::H264Video) return (code & 0x9F) == kH264SequenceParameterSet;
    return code == (format == StreamFormat::Vc1Video ? kVc1SequenceHeader : kMpegSequenceHeader);
}

// The video search: the first sequence header, by its start code. Returns where to keep the
// pending bytes from, or nothing when looking is over.
std::optional<size_t> findVideoHeader(std::span<const uint8_t> bytes, StreamFormat format,
                                      StreamFacts& facts) {
    const size_t n = bytes.size();
    for (size_t code = nextStartCode(bytes, 2); code < n; code = nextStartCode(bytes, code)) {
        if (!isSequenceHeader(bytes[code], format)) continue;
        StreamFacts read;
        const Reading reading = readVideoHeader(bytes.subspan(code + 1), format, read);
        if (reading == Reading::Cut) return code - 3;  // wait for the rest of it
        if (reading == Reading::Read) facts = read;
        return std::nullopt;
    }
    return n >= 3 ? n - 3 : 0;  // a start code prefix may end the piece
}

// An audio frame's sync bytes and how its header is read from its first byte.
struct AudioSync {
    StreamFormat format;
    std::array<uint8_t, 4> sync;
    size_t syncLength;
    size_t syncAt;  // the sync's place in the frame (TrueHD: after the unit's length)
    AudioFrameHeader (*read)(std::span<const uint8_t>);
};

AudioFrameHeader readDolby(std::span<const uint8_t> bytes) {
    return readDolbyAudioHeader(bytes);
}

constexpr AudioSync kAudioSyncs[] = {
    {StreamFormat::DolbyDigital, {0x0B, 0x77}, 2, 0, &readDolby},
    {StreamFormat::DolbyDigitalPlus, {0x0B, 0x77}, 2, 0, &readDolby},
    {StreamFormat::Dts, {0x7F, 0xFE, 0x80, 0x01}, 4, 0, &readDtsFrameHeader},
    {StreamFormat::TrueHd, {0xF8, 0x72, 0x6F, 0xBA}, 4, 4, &readTrueHdUnitHeader},
    {StreamFormat::MpegAudio, {0xFF}, 1, 0, &readMpegAudioHeader},
};

const AudioSync* audioSyncOf(StreamFormat format) {
    for (const AudioSync& sync : kAudioSyncs) {
        if (sync.format == format) return &sync;
    }
    return nullptr;
}

// The audio search: the first frame header with a rate. Returns where to keep the pending
// bytes from, or nothing when looking is over.
std::optional<size_t> findAudioHeader(std::span<const uint8_t> bytes, const AudioSync& sync,
                                      StreamFacts& facts) {
    const std::span<const uint8_t> pattern(sync.sync.data(), sync.syncLength);
    if (bytes.size() <= sync.syncAt) return 0;
    for (auto at = std::search(bytes.begin() + static_cast<long>(sync.syncAt), bytes.end(),
                               pattern.begin(), pattern.end());
         at != bytes.end(); at = std::search(at + 1, bytes.end(), pattern.begin(), pattern.end())) {
        const size_t frame = static_cast<size_t>(at - bytes.begin()) - sync.syncAt;
        const AudioFrameHeader header = sync.read(bytes.subspan(frame));
        if (header.cut) return frame;  // wait for the rest of it
        if (header.whole() && header.sampleRate != 0) {
            facts.sampleRate = header.sampleRate;
            facts.channels = header.channels;
            return std::nullopt;
        }
    }
    const size_t keep = sync.syncAt + sync.syncLength - 1;
    return bytes.size() > keep ? bytes.size() - keep : 0;
}

}  // namespace

void HeaderFinder::finish() {
    done_ = true;
    pending_.clear();
    pending_.shrink_to_fit();
}

// The pieces are joined only while looking (the first packet of a stream usually begins with
// its header), so the search costs nothing once it is over.
void HeaderFinder::look(std::span<const uint8_t> piece, StreamFormat format) {
    if (done_) return;
    const StreamKind& row = streamKindOf(format);
    const AudioSync* audio = audioSyncOf(format);
    if (row.slotKind != SlotKind::Video && audio == nullptr) return finish();
    const size_t take = std::min(piece.size(), kLookLimit - looked_);
    pending_.insert(pending_.end(), piece.begin(), piece.begin() + static_cast<long>(take));
    looked_ += take;
    const std::optional<size_t> keepFrom = audio ? findAudioHeader(pending_, *audio, facts_)
                                                 : findVideoHeader(pending_, format, facts_);
    if (!keepFrom || looked_ >= kLookLimit || pending_.size() - *keepFrom > kLongestHeader) {
        return finish();
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(*keepFrom));
}

}  // namespace morvale
