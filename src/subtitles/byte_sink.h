// SPDX-License-Identifier: MIT
#pragma once

// Where the subtitle writers put their bytes: a file of the caller's, a buffer in memory, a
// pipe. The writers never open files themselves, so they need nothing below them.

#include <cstdint>
#include <span>
#include <vector>

namespace morvale {

class ByteSink {
  public:
    virtual ~ByteSink() = default;
    virtual void write(std::span<const uint8_t> bytes) = 0;
};

// A sink that keeps everything in memory (tests, the fuzz target, small outputs).
class MemorySink final : public ByteSink {
  public:
    void write(std::span<const uint8_t> bytes) override {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t>& bytes() { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

}  // namespace morvale
