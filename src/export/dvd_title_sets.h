// SPDX-License-Identifier: MIT
#pragma once

// A DVD's title sets: VIDEO_TS holds VTS_nn_0.IFO (nn from 01 to 99) and the title set's
// video in VTS_nn_1.VOB to VTS_nn_9.VOB, one feature read part after part.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvale {

inline constexpr int kLastDvdTitleSet = 99;
inline constexpr int kLastDvdTitleSetPart = 9;

struct DvdTitleSet {
    int number = 0;       // nn
    std::string ifoPath;  // folder + "VTS_nn_0.IFO", whether it is there or not
    bool ifoPresent = false;
    std::vector<std::string> parts;         // the VOBs there are, VTS_nn_1.VOB first
    std::vector<std::string> missingParts;  // names of parts absent before the last one there is
    int64_t bytes = 0;                      // of all its parts
};

struct DvdTitleSets {
    std::string folder;             // the VIDEO_TS folder, ending in its separator
    std::vector<DvdTitleSet> sets;  // in the order of their numbers
    // The set with the most bytes (the first of equals): the likely feature.
    std::optional<size_t> largest;
};

// The title sets of the folder: every nn whose IFO or a VOB is there (upper-case names,
// as discs write them, or the same in lower case as some copies have them). The folder may
// end in a separator or not. Part sizes are asked of the file system; a part that cannot be
// opened counts no bytes.
DvdTitleSets findDvdTitleSets(const std::string& videoTsFolder);

}  // namespace morvale
