#include "reports/reports.h"

// The report bodies are being written; until then the detailed scan shows the timestamp
// lines only.

namespace morvale {

void ReportAc3(std::span<const uint8_t>, int, const EngineState&, MessageLog&) {}
void ReportVc1(std::span<const uint8_t>, uint32_t, uint64_t, char, MessageLog&) {}
void ReportMpeg2Video(std::span<const uint8_t>, uint32_t, uint32_t, MessageLog&) {}
void ReportH264(std::span<const uint8_t>, uint32_t, uint32_t, MessageLog&) {}

}  // namespace morvale
