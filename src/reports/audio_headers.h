// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "reports/header_reading.h"

// The frame headers of the audio codecs, each read from the frame's first byte.

namespace morvale {

// What an audio frame's header says; zero where it says nothing.
struct AudioFrameHeader : HeaderProgress<WholePart> {
    uint32_t frameBytes = 0;  // 0 when no frame starts there
    int32_t samples = 0;      // per channel; 0 for a frame without time of its own
    int32_t sampleRate = 0;
    int channels = 0;  // the LFE included
};

// fscod -> sampling rate (3 is reserved in A/52; Annex E gives the rate in fscod2 then).
inline constexpr std::array<int32_t, 4> kAc3SampleRates = {48000, 44100, 32000, 0};
// frmsizecod / 2 -> nominal bit rate (A/52 Table 5.18).
inline constexpr std::array<int32_t, 19> kAc3BitRates = {
    32000,  40000,  48000,  56000,  64000,  80000,  96000,  112000, 128000, 160000,
    192000, 224000, 256000, 320000, 384000, 448000, 512000, 576000, 640000};
// Annex E numblkscod -> audio blocks per syncframe.
inline constexpr std::array<int32_t, 4> kEac3BlocksPerFrame = {1, 2, 3, 6};

// An A/52 syncframe header (syncinfo and bsi up to lfeon), or for bsid 11-16 its Annex E
// form: the syncword 0B 77 and five bytes. A/52 has no emulation prevention: the bytes
// after a syncword are fields whatever they hold. frameBytes is the size the header gives,
// 0 when its codes give none; samples count only in an independent substream 0 (dependent
// substreams and further programs go alongside it).
struct DolbyAudioHeader : AudioFrameHeader {
    bool enhanced = false;  // Annex E
    uint8_t bsid = 0;
    uint8_t fscod = 0;
    uint8_t acmod = 0;
    bool lfe = false;
    uint8_t bsmod = 0;       // A/52
    uint8_t numblkscod = 0;  // Annex E; fscod2 when fscod is 3
    int32_t blocks = 6;      // 256-sample audio blocks per syncframe
    int32_t bitRate = 0;     // 0 when the codes give none

    // A syncframe a decoder knows: bsid up to 16, a rate and a size.
    bool playable() const { return bsid <= 16 && sampleRate != 0 && frameBytes != 0; }
};
DolbyAudioHeader readDolbyAudioHeader(std::span<const uint8_t> bytes);

// A DTS core frame header (7F FE 80 01) up to LFF, eleven bytes, or a DTS-HD extension
// substream header (64 58 20 25) up to its size, ten bytes; a substream has no time or rate.
AudioFrameHeader readDtsFrameHeader(std::span<const uint8_t> bytes);

// The start of an MLP/TrueHD access unit: its length in 16-bit words (eight bytes) and, in a
// unit that carries one, the major sync (F8 72 6F BA TrueHD, BB MLP) with the stream's format
// (twelve bytes): a rate, the samples of a unit (1/1200 s, or 40/44100 s) and TrueHD's
// channels. Units have no sync word of their own: a reader walks them from a major sync on.
AudioFrameHeader readTrueHdUnitHeader(std::span<const uint8_t> bytes);

// An MPEG-1 or MPEG-2 audio frame header (ISO/IEC 11172-3, 13818-3, and the 2.5 extension
// of lower rates): the 11-bit sync word and the 21 bits after it. frameBytes is 0 for a free
// format or reserved code.
AudioFrameHeader readMpegAudioHeader(std::span<const uint8_t> bytes);

}  // namespace morvale
