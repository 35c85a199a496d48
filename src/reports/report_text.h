// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

namespace morvale {

// Upper-case hexadecimal with exactly `digits` digits (leading zeros kept), as the
// timestamp lines show them.
std::string hexText(uint64_t value, int digits);

// A rate in general format: at most 15 significant digits, no trailing zeros, no exponent
// for the rates a stream can carry, with the given decimal separator.
std::string rateText(double rate, char decimalSeparator);

}  // namespace morvale
