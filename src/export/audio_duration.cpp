// SPDX-License-Identifier: MIT
#include "export/audio_duration.h"

#include <algorithm>
#include <memory>

#include "platform/file.h"

namespace morvale {

constexpr int kTicksPerSecond = 90000;

void AudioUnitCounter::feed(std::span<const uint8_t> bytes) {
    const uint8_t* start = bytes.data();
    const auto offsetOf = [&](const uint8_t* p) { return fed_ + uint64_t(p - start); };
    while (!bytes.empty()) {
        if (skip_ > 0) {
            const size_t n = size_t(std::min<uint64_t>(skip_, bytes.size()));
            skip_ -= n;
            bytes = bytes.subspan(n);
            continue;
        }
        if (pending_.empty() && bytes.size() >= kHeaderBytes) {
            const size_t length = countUnitAt(bytes.data(), offsetOf(bytes.data()));
            if (length == 0) {
                bytes = bytes.subspan(1);  // no unit here: search on
            } else {
                skip_ = length;
            }
            continue;
        }
        // A header split between pieces: gather it first.
        const size_t take = std::min(bytes.size(), kHeaderBytes - pending_.size());
        pending_.insert(pending_.end(), bytes.begin(), bytes.begin() + long(take));
        bytes = bytes.subspan(take);
        if (pending_.size() < kHeaderBytes) break;
        const size_t length = countUnitAt(pending_.data(), offsetOf(bytes.data()) - pending_.size());
        if (length == 0) {
            pending_.erase(pending_.begin());
        } else if (length >= pending_.size()) {
            skip_ = length - pending_.size();
            pending_.clear();
        } else {
            pending_.erase(pending_.begin(), pending_.begin() + long(length));
        }
    }
    fed_ += uint64_t(bytes.data() - start);
}

size_t AudioUnitCounter::countUnitAt(const uint8_t* header, uint64_t at) {
    const std::span<const uint8_t> bytes(header, kHeaderBytes);
    AudioFrameHeader unit;
    if (coding_ == AudioCoding::Dts) {
        unit = readDtsFrameHeader(bytes);
    } else if (coding_ == AudioCoding::MpegAudio) {
        unit = readMpegAudioHeader(bytes);
    } else if (coding_ != AudioCoding::TrueHd) {
        const DolbyAudioHeader frame = readDolbyAudioHeader(bytes);
        if (frame.playable()) unit = frame;
    } else {
        unit = readTrueHdUnitHeader(bytes);
        // The walk starts at a major sync (a stream cut from a program stream may begin inside
        // a unit); the units after it last as long as it says.
        if (!locked_ && unit.sampleRate == 0) unit.frameBytes = 0;
        if (unit.sampleRate != 0) unitSamples_ = unit.samples;
        unit.samples = unitSamples_;
    }
    locked_ = unit.frameBytes != 0;
    if (unit.frameBytes == 0) return 0;
    if (unit.sampleRate != 0 && sampleRate_ != 0 && unit.sampleRate != sampleRate_) {
        // A change of rate: the total so far as samples of the new rate.
        samples_ = samples_ * unit.sampleRate / sampleRate_;
    }
    if (unit.sampleRate != 0) sampleRate_ = unit.sampleRate;
    samples_ += unit.samples;
    if (unit.samples > 0) ++units_;
    lastUnitEnd_ = at + unit.frameBytes;
    if (afterUnit) afterUnit();
    return unit.frameBytes;
}

std::optional<int64_t> AudioUnitCounter::durationTicks() const {
    if (units_ == 0 || sampleRate_ == 0) return std::nullopt;
    return (samples_ * kTicksPerSecond + sampleRate_ / 2) / sampleRate_;
}

std::optional<int64_t> audioFileDurationTicks(const std::string& path, AudioCoding coding) {
    constexpr int64_t kPiece = 1 << 20;
    SourceFile file = SourceFile::open(path, ShareMode::Shared);
    const auto buffer = std::make_unique<uint8_t[]>(kPiece);
    AudioUnitCounter counter(coding);
    while (true) {
        const int64_t got = file.read(buffer.get(), kPiece);
        if (got <= 0) break;
        counter.feed({buffer.get(), size_t(got)});
    }
    return counter.durationTicks();
}

int64_t trimAudioFile(const std::string& path, AudioCoding coding, int64_t maxTicks) {
    constexpr int64_t kPiece = 1 << 20;
    AudioUnitCounter counter(coding);
    uint64_t keepBytes = 0;
    int64_t keptTicks = 0;
    bool over = false;
    counter.afterUnit = [&] {
        const int64_t ticks = counter.durationTicks().value_or(0);
        if (ticks > maxTicks) over = true;
        if (over) return;
        keepBytes = counter.lastUnitEnd();
        keptTicks = ticks;
    };
    {
        SourceFile file = SourceFile::open(path, ShareMode::Shared);
        const auto buffer = std::make_unique<uint8_t[]>(kPiece);
        while (!over) {
            const int64_t got = file.read(buffer.get(), kPiece);
            if (got <= 0) break;
            counter.feed({buffer.get(), size_t(got)});
        }
    }
    if (over) truncateFile(path, int64_t(keepBytes));
    return over ? keptTicks : counter.durationTicks().value_or(0);
}

}  // namespace morvale
