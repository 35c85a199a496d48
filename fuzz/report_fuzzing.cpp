// SPDX-License-Identifier: MIT
#include "report_fuzzing.h"

#include <algorithm>
#include <cstring>

namespace morvale::fuzzing {

namespace {

constexpr size_t kControlBytes = 10;

class LineLog : public MessageLog {
  public:
    std::vector<std::string> lines;
    void log(std::string_view line) override { lines.emplace_back(line); }
};

uint32_t littleEndian32(const ControlBytes& control, size_t at) {
    return static_cast<uint32_t>(control[at]) | (static_cast<uint32_t>(control[at + 1]) << 8) |
           (static_cast<uint32_t>(control[at + 2]) << 16) |
           (static_cast<uint32_t>(control[at + 3]) << 24);
}

bool printable(const std::string& line) {
    return !line.empty() &&
           std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

std::vector<std::string> run(const ReportRunner& report, std::span<const uint8_t> bytes,
                             const ReportArguments& arguments) {
    // new[] of the exact size: AddressSanitizer guards both ends.
    std::unique_ptr<uint8_t[]> piece(new uint8_t[std::max<size_t>(bytes.size(), 1)]);
    if (!bytes.empty()) std::memcpy(piece.get(), bytes.data(), bytes.size());
    LineLog log;
    report(std::span<const uint8_t>(piece.get(), bytes.size()), arguments, log);
    return std::move(log.lines);
}

}  // namespace

int fuzzReport(const uint8_t* data, size_t size, const ReportRunner& report) {
    const ControlBytes control(data, size, kControlBytes);
    const ReportArguments arguments{littleEndian32(control, 0), (control[8] & 1) != 0 ? ',' : '.',
                                    control[8] >> 4};
    const std::span<const uint8_t> piece = control.data();

    const std::vector<std::string> lines = run(report, piece, arguments);
    for (const std::string& line : lines)
        FUZZ_CHECK(printable(line));
    FUZZ_CHECK(lines.size() <= 2 * piece.size() + 8);
    FUZZ_CHECK(run(report, piece, arguments) == lines);

    const size_t cut = piece.size() * control[9] / 256;
    const std::vector<std::string> prefix = run(report, piece.first(cut), arguments);
    FUZZ_CHECK(prefix.size() <= lines.size());
    FUZZ_CHECK(std::equal(prefix.begin(), prefix.end(), lines.begin()));
    return 0;
}

}  // namespace morvale::fuzzing
