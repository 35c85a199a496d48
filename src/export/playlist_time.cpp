// SPDX-License-Identifier: MIT
#include "export/playlist_time.h"

#include <array>

namespace morvale {

namespace {

// The nominal rates whose units last 1.001 times as long: the video rates 24000/1001,
// 30000/1001 and 60000/1001 that discs of these time bases carry.
constexpr std::array<int, 3> kSlowedRates = {24, 30, 60};

constexpr int64_t kNsPerSecond = 1'000'000'000;
constexpr int64_t kMsPerSecond = 1'000;
constexpr int64_t kTicksPerSecond = 90'000;
constexpr int64_t kMaxHours = 9999;
constexpr size_t kMaxFieldDigits = 9;

// A field of digits only, as its value; nothing when it is empty, signed or not a number.
std::optional<int64_t> digitsValue(std::string_view text) {
    if (text.empty() || text.size() > kMaxFieldDigits) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// units x perSecond x (1.001 or 1) / fps, rounded, without overflow for any time code: the
// whole seconds' worth of units exactly (perSecond is a multiple of 1,000), then the rest.
int64_t scaled(int64_t units, TimeBase base, int64_t perSecond) {
    if (units < 0 || base.fps <= 0) return 0;
    const int64_t factor = base.slowedBy1001 ? 1001 : 1000;
    const int64_t seconds = units / base.fps, rest = units % base.fps;
    const int64_t divisor = int64_t{base.fps} * 1000;
    return seconds * (perSecond / 1000 * factor) +
           (rest * perSecond * factor + divisor / 2) / divisor;
}

}  // namespace

std::string TimeBase::rateText() const {
    if (!slowedBy1001) return std::to_string(fps);
    return std::to_string(rateNumerator()) + "/" + std::to_string(rateDenominator());
}

TimeBase timeBaseOfFps(int fps) {
    for (int slowed : kSlowedRates) {
        if (fps == slowed) return {fps, true};
    }
    return {fps, false};
}

std::optional<int64_t> parseTimeCode(std::string_view text, int fps) {
    std::array<int64_t, 4> fields{};
    for (size_t i = 0; i < fields.size(); ++i) {
        const size_t colon = i + 1 < fields.size() ? text.find(':') : text.size();
        if (colon == std::string_view::npos) return std::nullopt;
        const std::optional<int64_t> value = digitsValue(text.substr(0, colon));
        if (!value) return std::nullopt;
        fields[i] = *value;
        text.remove_prefix(i + 1 < fields.size() ? colon + 1 : colon);
    }
    const auto [hours, minutes, seconds, units] = fields;
    if (hours > kMaxHours || minutes > 59 || seconds > 59 || fps < 1 || units >= fps) {
        return std::nullopt;
    }
    return ((hours * 60 + minutes) * 60 + seconds) * fps + units;
}

std::optional<int> parseTimeBase(std::string_view text) {
    if (!text.ends_with("fps")) return std::nullopt;
    const std::optional<int64_t> fps = digitsValue(text.substr(0, text.size() - 3));
    if (!fps || *fps < 1 || *fps > 1000) return std::nullopt;
    return static_cast<int>(*fps);
}

int64_t unitsToNanoseconds(int64_t units, TimeBase base) {
    return scaled(units, base, kNsPerSecond);
}

int64_t unitsToMilliseconds(int64_t units, TimeBase base) {
    return scaled(units, base, kMsPerSecond);
}

int64_t unitsToTicks(int64_t units, TimeBase base) {
    return scaled(units, base, kTicksPerSecond);
}

}  // namespace morvale
