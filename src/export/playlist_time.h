// SPDX-License-Identifier: MIT
#pragma once

// Time codes of the HD DVD playlist. A TitleSet's timeBase ("60fps") says how many units the
// FF field of a time code HH:MM:SS:FF counts per second. On discs the units of the 24, 30 and
// 60 rates last 1.001 times their nominal length, as the video's 24000/1001, 30000/1001 and
// 60000/1001 frame rates do: a clip that plays a whole EVO spans its units times 1,501.5
// ticks of 90 kHz at "60fps", and a chapter at 01:59:00:00 starts at 7,147.14 s, not 7,140 s.
// The 25 and 50 rates are exact.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvale {

struct TimeBase {
    int fps = 60;              // units counted per nominal second (the FF field's range)
    bool slowedBy1001 = true;  // one unit lasts 1.001 / fps seconds rather than 1 / fps

    // The unit rate as a fraction, units per second: 60000/1001, 50/1.
    int64_t rateNumerator() const { return slowedBy1001 ? int64_t{fps} * 1000 : fps; }
    int64_t rateDenominator() const { return slowedBy1001 ? 1001 : 1; }
    // "60000/1001", "50".
    std::string rateText() const;
    bool operator==(const TimeBase&) const = default;
};

// The time base of a nominal rate: 24, 30 and 60 slowed by 1.001, every other rate (25, 50)
// exact.
TimeBase timeBaseOfFps(int fps);

// The time base of a title whose TitleSet gives none.
inline constexpr int kDefaultTimeBaseFps = 60;

// A time code "HH:MM:SS:FF" as its count of units at `fps`; nothing when it is not one: each
// field digits only (no sign, no blank), HH at most 9999, MM and SS at most 59, FF below fps.
std::optional<int64_t> parseTimeCode(std::string_view text, int fps);
// A TitleSet timeBase such as "50fps" as its nominal rate; nothing when it is not
// "<digits>fps" of 1 to 1000.
std::optional<int> parseTimeBase(std::string_view text);

// A count of units (not negative) in nanoseconds and in milliseconds, each rounded to the
// nearest (halves up).
int64_t unitsToNanoseconds(int64_t units, TimeBase base);
int64_t unitsToMilliseconds(int64_t units, TimeBase base);
// A count of units in 90 kHz ticks, rounded to the nearest (halves up): 1,501.5 ticks per
// unit at "60fps" round alternately.
int64_t unitsToTicks(int64_t units, TimeBase base);

}  // namespace morvale
