// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "platform/clock.h"

namespace morvale {

// The window's clock: the wall clock, standing still while the window waits for the user's
// answer to a question, so that a run's remaining-time estimate counts only the time the run
// had (the Cancel question's "No" does not make the rest of the run look longer). Times and
// rates are shown in the format of the default locale, read at each call: the user may
// change it while the program runs.
class WindowClock final : public Clock {
  public:
    double now() override;
    std::string formatLongTime(double days) override;
    char decimalSeparator() const override;

    // Stops the clock for as long as it lives.
    class Stop {
      public:
        explicit Stop(WindowClock& clock);
        ~Stop();
        Stop(const Stop&) = delete;
        Stop& operator=(const Stop&) = delete;

      private:
        WindowClock& clock_;
    };

  private:
    double wallDays() const;

    int stops_ = 0;
    double stoppedAt_ = 0;  // wall time when the clock stopped
    double standing_ = 0;   // days it stood still before
};

}  // namespace morvale
