// SPDX-License-Identifier: MIT
#include "export/mkv_timeline.h"

#include <algorithm>

#include "export/feature_description.h"

namespace morvale {

Timeline::Timeline(const std::vector<TimelinePart>& parts) {
    int64_t next = 0;  // where the part after the last one placed begins
    for (size_t p = 0; p < parts.size(); ++p) {
        const TimelinePart& part = parts[p];
        int64_t origin = next;
        if (p == 0 && part.referencePts && part.earliestPts) {
            origin = std::max<int64_t>(0, -ptsDifference(*part.earliestPts, *part.referencePts));
        }
        origins_.push_back(origin);
        references_.push_back(part.referencePts);
        next = origin + std::max<int64_t>(0, part.referenceDuration);
    }
    end_ = next;
}

int64_t Timeline::placeOf(size_t part, uint32_t pts) const {
    const std::optional<uint32_t>& reference = references_[part];
    return origins_[part] + (reference ? ptsDifference(pts, *reference) : 0);
}

AudioPlacement placeAudio(const Timeline& timeline, const std::vector<AudioPartFile>& files,
                          const std::function<int64_t(size_t part, int64_t maxTicks)>& trim) {
    constexpr int64_t kTicksPerMs = kTicksPerSecond / 1000;
    AudioPlacement placement;
    placement.parts.resize(files.size());
    std::optional<size_t> previous;  // the part whose file was placed last
    int64_t previousStart = 0;
    int64_t previousDuration = 0;
    for (size_t p = 0; p < files.size(); ++p) {
        const AudioPartFile& file = files[p];
        if (!file.present) continue;
        const int64_t natural = previous ? previousStart + previousDuration : 0;
        int64_t start = natural;
        if (file.firstPts && p < timeline.parts()) {
            int64_t wanted = timeline.placeOf(p, *file.firstPts);
            if (previous && wanted < natural) {
                // The file before runs past this one's start: its last units go.
                const int64_t kept = trim(*previous, std::max<int64_t>(0, wanted - previousStart));
                placement.leftOutTicks += previousDuration - kept;
                placement.parts[*previous].keepTicks = kept;
                previousDuration = kept;
            }
            const int64_t from = previous ? previousStart + previousDuration : 0;
            wanted = std::max(wanted, from);
            placement.parts[p].syncMs = ticksToMilliseconds(wanted - from);
            start = from + placement.parts[p].syncMs * kTicksPerMs;
        }
        previous = p;
        previousStart = start;
        previousDuration = file.durationTicks;
    }
    return placement;
}

}  // namespace morvale
