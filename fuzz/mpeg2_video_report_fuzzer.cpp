// SPDX-License-Identifier: MIT
// The MPEG-2 video report over arbitrary pieces (see report_fuzzing.h for the input).

#include "report_fuzzing.h"
#include "reports/reports.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace morvale;
    return fuzzing::fuzzReport(data, size,
                               [](std::span<const uint8_t> piece, const fuzzing::ReportArguments& a,
                                  MessageLog& log) { ReportMpeg2Video(piece, a.pts, log); });
}
