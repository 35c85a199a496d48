// SPDX-License-Identifier: MIT
#pragma once

// The common frame of the four report targets.
//
// Input: 10 control bytes, then the piece.
//   0-3   PTS (little-endian); 4-7 unused
//   8     bit 0: decimal separator ',' instead of '.'; bits 4-7: the audio slot
//   9     where the piece is cut for the prefix check (a share of its length)
//
// The piece is copied into a heap block of exactly its size, so a read before or past it is
// caught. Checked: every line is printable ASCII; the number of lines stays within the
// piece's means; a second call writes the same lines (the reports keep nothing between
// calls); a report of the piece's first bytes writes a prefix of the whole piece's lines (a
// report reads byte by byte and writes each line once the bytes it needs are read).

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "reports/message_log.h"
#include "fuzz_support.h"

namespace morvale::fuzzing {

struct ReportArguments {
    uint32_t pts;
    char decimalSeparator;
    int slot;
};

using ReportRunner =
    std::function<void(std::span<const uint8_t>, const ReportArguments&, MessageLog&)>;

int fuzzReport(const uint8_t* data, size_t size, const ReportRunner& report);

}  // namespace morvale::fuzzing
