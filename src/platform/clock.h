// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace morvale {

// Date-times are day counts since 1899-12-30 00:00 local time, the time of day being the
// fraction (the classic desktop "date-time" representation).
inline constexpr double kSecondsPerDay = 86400.0;
inline constexpr double kOneSecond = 1.0 / kSecondsPerDay;

// The current local date and time as a day count.
double localNowDays();

// The time-of-day part of a date-time as h:mm:ss (hours without a leading zero), rounded to
// the millisecond and then shown in whole seconds. Whole days are dropped, so 25 hours show
// as 1:00:00; a negative value shows its time of day counted back from midnight.
std::string formatTimeOfDay(double days);

// Milliseconds since midnight of a date-time's time of day (0 .. 86,399,999), as above.
long long timeOfDayMilliseconds(double days);

// The user's clock, and how the user's locale writes the times and rates the program shows.
class Clock {
  public:
    virtual ~Clock() = default;
    // The local date and time as a day count.
    virtual double now() = 0;
    // A date-time's time of day in the user's long time format.
    virtual std::string formatLongTime(double days) = 0;
    // The decimal separator of the user's numbers.
    virtual char decimalSeparator() const = 0;
};

// The wall clock with the times as h:mm:ss and '.' as separator: the C locale, as morvale-cli
// shows them.
class SystemClock : public Clock {
  public:
    double now() override { return localNowDays(); }
    std::string formatLongTime(double days) override { return formatTimeOfDay(days); }
    char decimalSeparator() const override { return '.'; }
};

}  // namespace morvale
