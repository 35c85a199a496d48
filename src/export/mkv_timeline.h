// SPDX-License-Identifier: MIT
#pragma once

// Where every stream of a feature lands on the Matroska file's timeline. Each part keeps its
// own offsets: its streams are placed against the part's reference (its first video
// picture, or without video its earliest stream), and a part's reference begins where the
// part before it ended (its video's last picture plus one frame period). The first part is
// shifted so that no stream starts before 0.
//
// mkvmerge gives an audio file appended to a track timestamps from its content, starting
// where the previous file of the track ended, so every file gets a --sync: the distance from
// that natural place to where it belongs. Where the previous file runs past that place (part 1's
// audio running on past the join), its last frames are cut so no two frames overlap; a gap
// stays a gap.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace morvale {

// One part of the feature as the timeline needs it, in 90 kHz ticks.
struct TimelinePart {
    std::optional<uint32_t> referencePts;  // its earliest video picture, or earliest stream
    int64_t referenceDuration = 0;         // from its reference to the end of its video
    // The earliest first PTS of its streams (for the first part's shift).
    std::optional<uint32_t> earliestPts;
};

class Timeline {
  public:
    explicit Timeline(const std::vector<TimelinePart>& parts);

    // The output time of the part's reference.
    int64_t origin(size_t part) const { return origins_[part]; }
    // The output time of a presentation time of the part.
    int64_t placeOf(size_t part, uint32_t pts) const;
    // The reference of the part (its PTS), when it has one.
    std::optional<uint32_t> reference(size_t part) const { return references_[part]; }
    size_t parts() const { return origins_.size(); }
    // Where the last part's video ends.
    int64_t end() const { return end_; }

  private:
    std::vector<int64_t> origins_;
    int64_t end_ = 0;
    std::vector<std::optional<uint32_t>> references_;
};

// One part's file of an audio track: where its first unit belongs and how long it plays.
struct AudioPartFile {
    bool present = false;
    std::optional<uint32_t> firstPts;
    int64_t durationTicks = 0;
};

// What the plan does with each part's file.
struct AudioPartPlacement {
    int64_t syncMs = 0;                  // --sync of the file (0 for the first without a time)
    std::optional<int64_t> keepTicks;    // cut the file to this long (whole units) first
};

struct AudioPlacement {
    std::vector<AudioPartPlacement> parts;
    int64_t leftOutTicks = 0;  // cut off at the joins, in all
};

// Places an audio track's files. `trim(part, maxTicks)` cuts that part's file to its last
// whole unit within maxTicks and returns how long it then plays.
AudioPlacement placeAudio(const Timeline& timeline, const std::vector<AudioPartFile>& files,
                          const std::function<int64_t(size_t part, int64_t maxTicks)>& trim);

}  // namespace morvale
