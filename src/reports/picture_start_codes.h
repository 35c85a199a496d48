// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace morvale {

// The start code (00 00 01 xx as one big-endian value) that begins each picture of a video
// elementary stream: the picture counter counts them and the reports count the pictures
// before the first I picture by them.
inline constexpr uint32_t kMpeg2PictureStartCode = 0x00000100;  // picture_start_code
// An access unit delimiter NAL unit (nal_ref_idc 0, nal_unit_type 9).
inline constexpr uint32_t kH264AccessUnitDelimiter = 0x00000109;
inline constexpr uint32_t kVc1FrameStartCode = 0x0000010D;  // SMPTE 421M frame start code

}  // namespace morvale
