// SPDX-License-Identifier: MIT
#include "export/wav_writer.h"

#include <algorithm>
#include <cstring>

#include "platform/file_patch.h"

namespace morvale {

namespace {

constexpr uint16_t kFormatPcm = 0x0001;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr uint32_t kDs64Size = 28;  // RIFF size, data size and sample count (64-bit), table length
constexpr uint32_t kPcmFmtSize = 16;
constexpr uint32_t kExtensibleFmtSize = 40;
constexpr uint64_t kMax32 = 0xFFFFFFFF;
// KSDATAFORMAT_SUBTYPE_PCM: 00000001-0000-0010-8000-00aa00389b71.
constexpr uint8_t kPcmSubtype[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                     0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

class LittleEndian {
  public:
    explicit LittleEndian(std::vector<uint8_t>& out) : out_(out) {}
    void tag(const char (&text)[5]) { out_.insert(out_.end(), text, text + 4); }
    void u16(uint32_t v) { bytes(v, 2); }
    void u32(uint64_t v) { bytes(v, 4); }
    void u64(uint64_t v) { bytes(v, 8); }
    void guid(const uint8_t (&id)[16]) { out_.insert(out_.end(), id, id + 16); }

  private:
    void bytes(uint64_t v, int n) {
        for (int i = 0; i < n; ++i)
            out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    std::vector<uint8_t>& out_;
};

bool extensible(const WavFormat& format) {
    return format.validBits > 16 || format.channels > 2;
}

// Speaker positions for the counts with a usual layout; none named otherwise.
uint32_t channelMask(int channels) {
    switch (channels) {
        case 1:
            return 0x4;  // front centre
        case 2:
            return 0x3;  // front left, front right
        default:
            return 0;
    }
}

void writeFmt(LittleEndian& le, const WavFormat& format) {
    const bool ext = extensible(format);
    const uint32_t blockAlign = static_cast<uint32_t>(format.frameBytes());
    le.tag("fmt ");
    le.u32(ext ? kExtensibleFmtSize : kPcmFmtSize);
    le.u16(ext ? kFormatExtensible : kFormatPcm);
    le.u16(static_cast<uint32_t>(format.channels));
    le.u32(static_cast<uint32_t>(format.sampleRate));
    le.u32(static_cast<uint64_t>(format.sampleRate) * blockAlign);
    le.u16(blockAlign);
    le.u16(static_cast<uint32_t>(format.containerBytes() * 8));
    if (!ext) return;
    le.u16(22);  // size of the extension
    le.u16(static_cast<uint32_t>(format.validBits));
    le.u32(channelMask(format.channels));
    le.guid(kPcmSubtype);
}

// Sign-extended sample from its upper 16 bits and its low bits, as a 24-bit value.
int32_t sample24(uint8_t high, uint8_t mid, uint8_t low) {
    return static_cast<int32_t>((uint32_t{high} << 24) | (uint32_t{mid} << 16) |
                                (uint32_t{low} << 8)) >>
           8;
}

void putSample(std::vector<uint8_t>& out, int32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// One DVD block of 20- or 24-bit samples: two sample frames in groups of four samples (two
// when the block holds fewer), each group the upper 16 bits of its samples, then their low
// bits.
void convertDvdBlock(const uint8_t* in, int samples, int bits, std::vector<uint8_t>& out) {
    const int groupSamples = samples >= 4 ? 4 : samples;
    for (int first = 0; first < samples; first += groupSamples) {
        const int n = std::min(groupSamples, samples - first);
        const uint8_t* low = in + 2 * n;
        for (int k = 0; k < n; ++k) {
            uint8_t lowBits = 0;
            if (bits == 24) {
                lowBits = low[k];
            } else {
                const uint8_t pair = low[k / 2];
                lowBits = static_cast<uint8_t>(k % 2 == 0 ? pair & 0xF0 : (pair & 0x0F) << 4);
            }
            putSample(out, sample24(in[2 * k], in[2 * k + 1], lowBits), 3);
        }
        in += 2 * n + (bits == 24 ? n : (n + 1) / 2);
    }
}

}  // namespace

WavFormat wavFormatOf(const LpcmFormat& format) {
    return {format.channels, format.sampleRate, format.bitsPerSample};
}

std::vector<uint8_t> wavHeader(const WavFormat& format, uint64_t dataBytes) {
    std::vector<uint8_t> header;
    LittleEndian le(header);
    const uint32_t fmtSize = extensible(format) ? kExtensibleFmtSize : kPcmFmtSize;
    const uint64_t headerBytes = 12 + (8 + kDs64Size) + (8 + fmtSize) + 8;
    const uint64_t riffSize = headerBytes - 8 + dataBytes + (dataBytes & 1);
    const bool rf64 = riffSize > kMax32;
    le.tag(rf64 ? "RF64" : "RIFF");
    le.u32(rf64 ? kMax32 : riffSize);
    le.tag("WAVE");
    le.tag(rf64 ? "ds64" : "JUNK");
    le.u32(kDs64Size);
    le.u64(rf64 ? riffSize : 0);
    le.u64(rf64 ? dataBytes : 0);
    le.u64(rf64 ? dataBytes / static_cast<uint64_t>(format.frameBytes()) : 0);
    le.u32(0);
    writeFmt(le, format);
    le.tag("data");
    le.u32(rf64 ? kMax32 : dataBytes);
    return header;
}

size_t convertLpcmBlocks(std::span<const uint8_t> lpcm, const LpcmFormat& format, LpcmLayout layout,
                         std::vector<uint8_t>& out) {
    const size_t block = static_cast<size_t>(lpcmBlockBytes(format, layout));
    const size_t whole = lpcm.size() / block * block;
    const int samplesPerBlock = lpcmFramesPerBlock(format, layout) * format.channels;
    const bool dvdGrouped = layout == LpcmLayout::Dvd && format.bitsPerSample > 16;
    out.reserve(out.size() + whole / block * static_cast<size_t>(samplesPerBlock) * 3);
    for (size_t at = 0; at < whole; at += block) {
        const uint8_t* in = lpcm.data() + at;
        if (dvdGrouped) {
            convertDvdBlock(in, samplesPerBlock, format.bitsPerSample, out);
        } else if (format.bitsPerSample == 16) {
            for (int k = 0; k < samplesPerBlock; ++k) {
                out.push_back(in[2 * k + 1]);
                out.push_back(in[2 * k]);
            }
        } else {
            for (int k = 0; k < samplesPerBlock; ++k) {
                const uint8_t low =
                    format.bitsPerSample == 20 ? in[3 * k + 2] & 0xF0 : in[3 * k + 2];
                putSample(out, sample24(in[3 * k], in[3 * k + 1], low), 3);
            }
        }
    }
    return whole;
}

LpcmWavWriter::LpcmWavWriter(const std::string& path, const LpcmFormat& format, LpcmLayout layout)
    : path_(path), format_(format), layout_(layout), wav_(wavFormatOf(format)) {
    file_ = OutputFile::create(path);
    const std::vector<uint8_t> header = wavHeader(wav_, 0);
    file_.write(header.data(), header.size());
}

void LpcmWavWriter::write(std::span<const uint8_t> lpcm) {
    const size_t block = static_cast<size_t>(lpcmBlockBytes(format_, layout_));
    if (!carry_.empty()) {
        const size_t take = std::min(block - carry_.size(), lpcm.size());
        carry_.insert(carry_.end(), lpcm.begin(), lpcm.begin() + static_cast<ptrdiff_t>(take));
        lpcm = lpcm.subspan(take);
        if (carry_.size() < block) return;
        writeConverted(carry_);
        carry_.clear();
    }
    const size_t used = lpcm.size() / block * block;
    writeConverted(lpcm.first(used));
    carry_.assign(lpcm.begin() + static_cast<ptrdiff_t>(used), lpcm.end());
}

void LpcmWavWriter::writeConverted(std::span<const uint8_t> lpcm) {
    converted_.clear();
    convertLpcmBlocks(lpcm, format_, layout_, converted_);
    file_.write(converted_.data(), converted_.size());
    dataBytes_ += converted_.size();
}

size_t LpcmWavWriter::close() {
    if ((dataBytes_ & 1) != 0) {
        const uint8_t pad = 0;  // RIFF chunks end on an even offset
        file_.write(&pad, 1);
    }
    file_.close();
    const std::vector<uint8_t> header = wavHeader(wav_, dataBytes_);
    overwriteFileAt(path_, 0, header);
    const size_t leftOut = carry_.size();
    carry_.clear();
    return leftOut;
}

}  // namespace morvale
