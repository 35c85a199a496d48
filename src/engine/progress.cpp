#include "engine/progress.h"

namespace morvale {

std::string progressText(int64_t position, int64_t size, double startDays, Clock& clock) {
    const long double elapsed = static_cast<long double>(clock.now()) - startDays;
    const long double total =
        elapsed * static_cast<long double>(size) / static_cast<long double>(position);
    const auto remaining = static_cast<double>(total - elapsed + kOneSecond);
    return std::to_string(position / kMegabyte) + "/" + std::to_string(size / kMegabyte) +
           " Mbytes, Remaining time: " + clock.formatLongTime(remaining);
}

}  // namespace morvale
