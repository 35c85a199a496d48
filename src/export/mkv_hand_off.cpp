// SPDX-License-Identifier: MIT
#include "export/mkv_hand_off.h"

#include <charconv>

namespace morvale {

namespace {

constexpr std::string_view kProgress = "#GUI#progress ";
constexpr std::string_view kWarning = "#GUI#warning ";
constexpr std::string_view kError = "#GUI#error ";

}  // namespace

MkvmergeLine readMkvmergeLine(std::string_view line) {
    MkvmergeLine read;
    if (line.starts_with(kProgress)) {
        std::string_view number = line.substr(kProgress.size());
        int percent = 0;
        auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), percent);
        if (error == std::errc() && end != number.data() && percent >= 0 && percent <= 100) {
            read.kind = MkvmergeLine::Kind::Progress;
            read.percent = percent;
            return read;
        }
    }
    if (line.starts_with(kWarning)) {
        read.kind = MkvmergeLine::Kind::Warning;
        line.remove_prefix(kWarning.size());
    } else if (line.starts_with(kError)) {
        read.kind = MkvmergeLine::Kind::Error;
        line.remove_prefix(kError.size());
    }
    read.text = std::string(line);
    return read;
}

}  // namespace morvale
