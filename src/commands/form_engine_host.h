#pragma once

#include "commands/form.h"
#include "engine/engine_host.h"

namespace morvale {

// The engine's host over a Form: log and progress go to the log and status panel 1, the
// options and ticks are read from the controls when the engine asks.
class FormEngineHost final : public EngineHost {
  public:
    explicit FormEngineHost(Form& form) : form_(form) {}

    void log(std::string_view line) override { form_.log(line); }
    void progress(std::string_view text, ProgressAmount amount) override {
        form_.slog(text, Panel::Progress);
        form_.showProgress(amount);
    }
    void pumpEvents() override { form_.pumpEvents(); }
    void repaint() override { form_.repaint(); }
    void setCancelEnabled(bool enabled) override { form_.setEnabled(Button::Cancel, enabled); }

    bool countFrames() const override { return form_.isTicked(Option::CountFrames); }
    bool details() const override { return form_.isTicked(Option::Details); }
    bool fastCheck() const override { return form_.isTicked(Option::FastCheck); }

    bool ticked(SlotKind kind, int slot) const override { return form_.boxTicked({kind, slot}); }

    Clock& clock() override { return form_.clock(); }

  private:
    Form& form_;
};

}  // namespace morvale
