// SPDX-License-Identifier: MIT
// The VC-1 report over arbitrary pieces (see report_fuzzing.h for the input).

#include "report_fuzzing.h"
#include "reports/reports.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace morvale;
    return fuzzing::fuzzReport(
        data, size,
        [](std::span<const uint8_t> piece, const fuzzing::ReportArguments& a, MessageLog& log) {
            ReportVc1(piece, a.pts, a.decimalSeparator, log);
        });
}
