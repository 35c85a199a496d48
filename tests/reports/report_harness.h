// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "reports/message_log.h"

namespace morvale::testing {

using Lines = std::vector<std::string>;

class RecordingLog : public MessageLog {
  public:
    void log(std::string_view line) override { lines.emplace_back(line); }
    Lines lines;
};

// One report with its other arguments bound.
using ReportCall = std::function<void(std::span<const uint8_t>, MessageLog&)>;

// Runs the report over the first `length` bytes of piece, copied into a heap block of exactly
// that size so that a read past the piece is caught by AddressSanitizer.
Lines runReport(const ReportCall& report, const std::vector<uint8_t>& piece, size_t length);
inline Lines runReport(const ReportCall& report, const std::vector<uint8_t>& piece) {
    return runReport(report, piece, piece.size());
}

// A line and the number of leading bytes of the piece it needs.
struct ExpectedLine {
    size_t bytesNeeded;
    std::string text;
};

// Cuts the piece at every length from 0 to its size and expects exactly the lines whose bytes
// lie within the cut, in order.
void expectLinesAtEveryCut(const ReportCall& report, const std::vector<uint8_t>& piece,
                           const std::vector<ExpectedLine>& expected);

// The texts of expected, in order.
Lines textsOf(const std::vector<ExpectedLine>& expected);

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts);

}  // namespace morvale::testing
