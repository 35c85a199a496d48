#pragma once

// The sample disc: a two-part feature as an HD DVD holds it, small enough to try at once.
//
//   FOLDER/HVDVD_TS/FEATURE_1.EVO   the first part (12 GOPs, about 6 s)
//   FOLDER/HVDVD_TS/FEATURE_2.EVO   the second part (8 GOPs, about 4 s), timestamps going on
//   FOLDER/ADV_OBJ/VPLST000.XPL     the playlist with one title playing both parts
//
// Streams: VC-1 video (stream 0xFD, extension 0x55), Dolby Digital Plus 5.1 in English
// (sub-stream 0xC0) and German (0xC1), Dolby Digital 2.0 commentary (0x82, so that it has an
// audio slot of its own beside 0xC0), subpictures in English (0x20, HD DVD units with 8-bit
// colours, a fade, a forced unit and one over 64 KiB) and German (0x21, DVD-layout units).

#include <cstdint>
#include <string>
#include <vector>

#include "dolby_audio.h"

namespace morvale::sample {

inline constexpr uint64_t kFirstPts = 90000;
inline constexpr int kFirstPartGops = 12;
inline constexpr int kSecondPartGops = 8;
// The second part's audio starts this much (one video frame) after the first part's audio
// ends, as on discs whose parts' audio and video do not end together: a join that puts the
// second part's audio straight after the first part's plays it early by this much.
inline constexpr uint64_t kSecondPartAudioDelay = frameTime(1);

struct SampleDiscOptions {
    bool synthesiseAudio = false;  // never run ffmpeg
};

struct WrittenFile {
    std::string path;  // relative to the disc folder
    uint64_t size;
};

struct SampleDisc {
    AudioOrigin audio;
    std::vector<WrittenFile> files;
};

// Writes the disc into `folder` (created when missing), replacing earlier files. Throws
// std::runtime_error when a folder or file cannot be written.
SampleDisc writeSampleDisc(const std::string& folder, const SampleDiscOptions& options);

}  // namespace morvale::sample
