// SPDX-License-Identifier: MIT
// The H.264 report over arbitrary pieces (see report_fuzzing.h for the input).

#include "report_fuzzing.h"
#include "reports/reports.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace morvale;
    return fuzzing::fuzzReport(
        data, size,
        [](std::span<const uint8_t> piece, const fuzzing::ReportArguments& /*arguments*/,
           MessageLog& log) { ReportH264(piece, log); });
}
