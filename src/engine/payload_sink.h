// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/file.h"

namespace morvale {

// Where a stream's payload goes, piece by piece in file order: the elementary stream of a
// file, the subpicture records, or a converter. `firstOfPacket`: no earlier piece of the
// packet was given; `pts`: the packet's own presentation time, on its first piece, when its
// header carried one.
class PayloadSink {
  public:
    virtual ~PayloadSink() = default;
    virtual void take(std::span<const uint8_t> bytes, bool firstOfPacket,
                      std::optional<uint32_t> pts) = 0;
};

// The payload as it is: an elementary stream.
class ElementaryStreamSink final : public PayloadSink {
  public:
    explicit ElementaryStreamSink(OutputFile& file) : file_(file) {}
    void take(std::span<const uint8_t> bytes, bool, std::optional<uint32_t>) override {
        if (!bytes.empty()) file_.write(bytes.data(), bytes.size());
    }

  private:
    OutputFile& file_;
};

// A subpicture record header: "SP", the time relative to the time base as 32 bits
// little-endian, and four zero bytes.
std::array<uint8_t, 10> subpictureRecordHeader(uint32_t relativeTime);

// Subpicture records: a record starts exactly where a packet's own header carried a PTS,
// with the time (PTS - time base) modulo 2^32; the payload of a packet without one continues
// the current record.
class SubpictureRecordSink final : public PayloadSink {
  public:
    SubpictureRecordSink(OutputFile& file, uint32_t timeBase) : file_(file), timeBase_(timeBase) {}
    void take(std::span<const uint8_t> bytes, bool firstOfPacket,
              std::optional<uint32_t> pts) override;

  private:
    OutputFile& file_;
    uint32_t timeBase_;
};

}  // namespace morvale
