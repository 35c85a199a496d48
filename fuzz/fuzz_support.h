// SPDX-License-Identifier: MIT
#pragma once

// Shared pieces of the fuzz targets: the control bytes that lead every input, block cuts
// chosen by them, files kept in memory, and the check that stops a run on a broken
// invariant.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace morvale::fuzzing {

using Bytes = std::vector<uint8_t>;

// Reports a broken invariant and aborts, so that libFuzzer keeps the input as a crash.
[[noreturn]] void invariantBroken(const char* condition, const char* file, int line);

#define FUZZ_CHECK(condition) \
    ((condition) ? void(0) : ::morvale::fuzzing::invariantBroken(#condition, __FILE__, __LINE__))

// The first `count` bytes of an input steer the run (options, ticks, cuts); the rest is the
// data. A short input reads as zeros past its end.
class ControlBytes {
  public:
    ControlBytes(const uint8_t* data, size_t size, size_t count);

    uint8_t operator[](size_t index) const { return index < control_.size() ? control_[index] : 0; }
    // Two control bytes as a 16-bit mask, the first one low.
    uint16_t mask16(size_t index) const {
        return static_cast<uint16_t>((*this)[index] | ((*this)[index + 1] << 8));
    }
    std::span<const uint8_t> data() const { return data_; }

  private:
    std::vector<uint8_t> control_;
    std::span<const uint8_t> data_;
};

// Block lengths for a stream fed in pieces: four control bytes give the lengths in turn
// (1 to about 4,000 bytes, finer for short ones); 0xFF takes the rest at once.
class Cuts {
  public:
    Cuts(uint8_t a, uint8_t b, uint8_t c, uint8_t d) : codes_{a, b, c, d} {}
    // The next block's length, at most `remaining` (which is above zero).
    size_t next(size_t remaining);

  private:
    uint8_t codes_[4];
    size_t turn_ = 0;
};

// A file that lives in memory (memfd) but has a path, so the program's own file layer opens
// it as it opens any file. Holes read as zeros and cost nothing.
class MemoryFile {
  public:
    MemoryFile();
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    const std::string& path() const { return path_; }
    // Makes the file hold `bytes` followed by zeros up to `size` (at least bytes.size()).
    void assign(std::span<const uint8_t> bytes, uint64_t size);
    uint64_t size() const;
    // Bytes [from, to) of the file.
    Bytes read(uint64_t from, uint64_t to) const;

  private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace morvale::fuzzing
