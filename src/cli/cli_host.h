// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "commands/command_host.h"
#include "engine/run_control.h"
#include "platform/clock.h"

namespace morvale {

// What a command runs on in morvale-cli: the message log goes to `out` line by line, the
// status panels (when stderr is a terminal) to one rewritten line on stderr, error boxes to
// stderr. A stop signal seen at an event pump requests the stop, as Cancel does, without a
// question.
class CliHost final : public CommandHost, public SystemClock {
  public:
    CliHost(RunControl& control, std::ostream& out, std::ostream& err, bool showStatus);
    ~CliHost() override;
    CliHost(const CliHost&) = delete;
    CliHost& operator=(const CliHost&) = delete;

    void log(std::string_view line) override;
    void slog(std::string_view text, Panel panel) override;
    void showProgress(ProgressAmount) override {}
    void pumpEvents() override;
    void repaint() override {}
    void setCancelEnabled(bool) override {}
    // No one to ask: a question of a run is answered No.
    bool askYesNo(std::string_view, std::string_view) override { return false; }
    void showError(std::string_view text) override;
    Clock& clock() override { return *this; }

    // An error was shown: the command failed.
    bool failed() const { return failed_; }

  private:
    void clearStatus();
    void drawStatus();

    RunControl& control_;
    std::ostream& out_;
    std::ostream& err_;
    bool showStatus_;
    std::array<std::string, 2> panels_;
    bool statusShown_ = false;
    bool failed_ = false;
};

}  // namespace morvale
