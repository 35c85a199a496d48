#pragma once

namespace morvale {

// The question Cancel asks before it stops a run that writes files.
inline constexpr const char* kConfirmTitle = "Confirm";
inline constexpr const char* kStopQuestion = "Are you sure to stop demuxing?";

}  // namespace morvale
