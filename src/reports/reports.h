// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <span>

#include "reports/message_log.h"

namespace morvale {

// The four header reports of a detailed scan. Each reads one payload piece (the first
// piece of a slot, as it lies in the block buffer), writes its lines to the log, keeps
// nothing between calls and never reads outside the piece.

// AC-3 / E-AC-3 (A/52 and its Annex E): the first syncframe's size, rates and mode.
void ReportAc3(std::span<const uint8_t> piece, int slot, MessageLog& log);

// VC-1 advanced profile (SMPTE 421M): the sequence header and the piece's timestamp. The
// frame rate is written with the given decimal separator.
void ReportVc1(std::span<const uint8_t> piece, uint64_t pts, char decimalSeparator,
               MessageLog& log);

// MPEG-2 video (ISO/IEC 13818-2): the sequence header, its extension and the piece's
// timestamp.
void ReportMpeg2Video(std::span<const uint8_t> piece, uint32_t pts, MessageLog& log);

// H.264 (ISO/IEC 14496-10): profiles and levels, access units before the first I picture.
void ReportH264(std::span<const uint8_t> piece, MessageLog& log);

}  // namespace morvale
