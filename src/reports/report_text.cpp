// SPDX-License-Identifier: MIT
#include "reports/report_text.h"

#include <array>
#include <charconv>

namespace morvale {

std::string hexText(uint64_t value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0 && value != 0; --i) {
        text[static_cast<size_t>(i)] = kDigits[value & 0xF];
        value >>= 4;
    }
    return text;
}

std::string rateText(double rate, char decimalSeparator) {
    // to_chars does not depend on the process locale; the separator is put in afterwards.
    std::array<char, 64> buffer{};
    auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), rate,
                                      std::chars_format::general, 15);
    std::string text(buffer.data(), error == std::errc{} ? end : buffer.data());
    for (char& c : text) {
        if (c == '.') c = decimalSeparator;
    }
    return text;
}

}  // namespace morvale
