// SPDX-License-Identifier: MIT
#include "engine/progress.h"

namespace morvale {

std::string progressText(int64_t position, int64_t size, double startDays, Clock& clock) {
    const long double elapsed = static_cast<long double>(clock.now()) - startDays;
    const long double total =
        elapsed * static_cast<long double>(size) / static_cast<long double>(position);
    const auto remaining = static_cast<double>(total - elapsed + kOneSecond);
    const ProgressAmount megabytes = megabytesRead(position, size);
    return std::to_string(megabytes.done) + "/" + std::to_string(megabytes.total) +
           " Mbytes, Remaining time: " + clock.formatLongTime(remaining);
}

}  // namespace morvale
