// SPDX-License-Identifier: MIT
#pragma once

// LPCM as RIFF WAVE: little-endian interleaved samples behind a header that is completed when
// the file is closed. A file whose RIFF size would not fit 32 bits becomes RF64 (EBU 3306):
// the header reserves the room of the ds64 chunk as a JUNK chunk from the start, so the
// samples never move.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/file.h"
#include "reports/lpcm_format.h"

namespace morvale {

struct WavFormat {
    int channels = 2;
    int sampleRate = 48000;
    int validBits = 16;  // 16, 20 or 24
    int containerBytes() const { return validBits > 16 ? 3 : 2; }
    int frameBytes() const { return channels * containerBytes(); }
};

// The header for `dataBytes` bytes of samples: RIFF with a JUNK chunk, or RF64 with its ds64
// chunk in the same place, then "fmt " (PCM for 16-bit mono and stereo, otherwise
// WAVE_FORMAT_EXTENSIBLE) and the "data" chunk header. Its size does not depend on dataBytes.
std::vector<uint8_t> wavHeader(const WavFormat& format, uint64_t dataBytes);

// Converts the whole LPCM blocks at the start of `lpcm` into little-endian interleaved
// samples (three bytes for 20 and 24 bits, 20-bit samples in the upper bits), appended to
// `out`. Returns the number of input bytes used (a multiple of the block size).
size_t convertLpcmBlocks(std::span<const uint8_t> lpcm, const LpcmFormat& format, LpcmLayout layout,
                         std::vector<uint8_t>& out);

// Writes a demuxed LPCM stream (the payloads after their sub-stream headers, in order) as a
// WAV file, piece by piece. A sample block split between two pieces is joined; an incomplete
// block at the very end is left out. Throws FileError when the file cannot be created or
// written.
class LpcmWavWriter {
  public:
    LpcmWavWriter(const std::string& path, const LpcmFormat& format, LpcmLayout layout);

    void write(std::span<const uint8_t> lpcm);
    // Completes the header; returns the bytes of an incomplete last block that were left out.
    size_t close();

    uint64_t dataBytes() const { return dataBytes_; }

  private:
    void writeConverted(std::span<const uint8_t> lpcm);

    std::string path_;
    LpcmFormat format_;
    LpcmLayout layout_;
    WavFormat wav_;
    OutputFile file_;
    std::vector<uint8_t> carry_;  // the start of a block split between pieces
    std::vector<uint8_t> converted_;
    uint64_t dataBytes_ = 0;
};

// The WAV format of an LPCM stream.
WavFormat wavFormatOf(const LpcmFormat& format);

}  // namespace morvale
