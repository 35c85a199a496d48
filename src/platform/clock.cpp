// SPDX-License-Identifier: MIT
#include "platform/clock.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace morvale {

double localNowDays() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm local{};
    time_t secs = ts.tv_sec;
    localtime_r(&secs, &local);
    // Days from 1899-12-30 to 1970-01-01 are 25,569; the local offset moves UTC to local time.
    double localSeconds = static_cast<double>(secs) + static_cast<double>(local.tm_gmtoff) +
                          static_cast<double>(ts.tv_nsec) / 1e9;
    return 25569.0 + localSeconds / kSecondsPerDay;
}

long long timeOfDayMilliseconds(double days) {
    constexpr long long kMsPerDay = 86400000LL;
    if (!std::isfinite(days)) return 0;
    long double ms = std::fmod(static_cast<long double>(days) * kMsPerDay,
                               static_cast<long double>(kMsPerDay));
    long long msOfDay = static_cast<long long>(std::roundl(ms));
    if (msOfDay < 0) msOfDay += kMsPerDay;
    return msOfDay % kMsPerDay;
}

std::string formatTimeOfDay(double days) {
    long long ms = timeOfDayMilliseconds(days);
    long long secs = ms / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", secs / 3600, (secs / 60) % 60, secs % 60);
    return text;
}

}  // namespace morvale
