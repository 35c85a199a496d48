// SPDX-License-Identifier: MIT
#pragma once

namespace morvale {

// The question Cancel asks before it stops a run that writes files.
inline constexpr const char* kConfirmTitle = "Confirm";
inline constexpr const char* kStopQuestion = "Are you sure to stop demuxing?";
inline constexpr const char* kStopMkvQuestion =
    "Are you sure to stop Make MKV? No Matroska file will be made.";

}  // namespace morvale
