#pragma once

#include "commands/form.h"
#include "commands/session.h"

namespace morvale {

inline constexpr const char* kConfirmTitle = "Confirm";
inline constexpr const char* kStopQuestion = "Are you sure to stop demuxing?";

// Whether the running command may be stopped: a scan stops without a question; a run that
// writes files (Demux, Rebuild) asks first, No being the default.
bool stopConfirmed(const EngineState& engine, Form& form);

// "Cancel": runs from the event pump of a running command, so it takes no re-entry lock.
// It only requests the stop; the running loop sees the request at its next block.
void bCancelClick(Session& session, Form& form);

}  // namespace morvale
