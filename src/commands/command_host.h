// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

#include "engine/engine_host.h"
#include "engine/progress.h"
#include "platform/clock.h"
#include "reports/message_log.h"

namespace morvale {

// The two panels of the status line: what the program does, and how far it has got.
enum class Panel { State, Progress };

// What a command needs from the face that runs it (the window or morvale-cli): the message
// log, the status line and its bar, the event pump, the Cancel button, a question, an error
// box and the user's clock.
class CommandHost : public MessageLog {
  public:
    // A status panel: one blank followed by the text.
    virtual void slog(std::string_view text, Panel panel) = 0;
    // How far the running command is, beside the progress text.
    virtual void showProgress(ProgressAmount amount) = 0;
    // Lets pending events run (a click on Cancel is seen here).
    virtual void pumpEvents() = 0;
    virtual void repaint() = 0;
    virtual void setCancelEnabled(bool enabled) = 0;
    // A modal Yes/No question, No being the default; true for Yes.
    virtual bool askYesNo(std::string_view title, std::string_view text) = 0;
    // A failed file operation's message, shown to the user.
    virtual void showError(std::string_view text) = 0;
    virtual Clock& clock() = 0;
};

// The engine's host over a command's: progress goes to status panel 1 and the bar.
class CommandEngineHost final : public EngineHost {
  public:
    explicit CommandEngineHost(CommandHost& host) : host_(host) {}

    void log(std::string_view line) override { host_.log(line); }
    void progress(std::string_view text, ProgressAmount amount) override {
        host_.slog(text, Panel::Progress);
        host_.showProgress(amount);
    }
    void pumpEvents() override { host_.pumpEvents(); }
    void repaint() override { host_.repaint(); }
    void setCancelEnabled(bool enabled) override { host_.setCancelEnabled(enabled); }
    Clock& clock() override { return host_.clock(); }

  private:
    CommandHost& host_;
};

}  // namespace morvale
