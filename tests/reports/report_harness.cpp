// SPDX-License-Identifier: MIT
#include "report_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace morvale::testing {

Lines runReport(const ReportCall& report, const std::vector<uint8_t>& piece, size_t length) {
    auto block = std::make_unique<uint8_t[]>(length);
    std::copy_n(piece.begin(), length, block.get());
    RecordingLog log;
    report(std::span<const uint8_t>(block.get(), length), log);
    return log.lines;
}

void expectLinesAtEveryCut(const ReportCall& report, const std::vector<uint8_t>& piece,
                           const std::vector<ExpectedLine>& expected) {
    for (size_t cut = 0; cut <= piece.size(); ++cut) {
        Lines within;
        for (const auto& line : expected) {
            if (line.bytesNeeded <= cut) within.push_back(line.text);
        }
        ASSERT_EQ(runReport(report, piece, cut), within) << "piece cut after " << cut << " bytes";
    }
}

Lines textsOf(const std::vector<ExpectedLine>& expected) {
    Lines texts;
    for (const auto& line : expected)
        texts.push_back(line.text);
    return texts;
}

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

}  // namespace morvale::testing
