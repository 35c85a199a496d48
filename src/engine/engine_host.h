// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

#include "engine/progress.h"
#include "platform/clock.h"
#include "reports/message_log.h"

namespace morvale {

// What the engine (and the rebuild's loop) needs from the program around it: the message
// log, the progress panel, the window's event pump and repaint, the Cancel button, and the
// clock. The commands implement it over their host; tests implement it directly.
class EngineHost : public MessageLog {
  public:
    // Shows a progress text in the second status panel.
    virtual void progress(std::string_view text, ProgressAmount amount) = 0;
    // Lets pending window events run (a click on Cancel is seen here).
    virtual void pumpEvents() = 0;
    virtual void repaint() = 0;
    virtual void setCancelEnabled(bool enabled) = 0;

    // The time of the progress estimates and the separator of the report frame rates.
    virtual Clock& clock() = 0;
};

}  // namespace morvale
