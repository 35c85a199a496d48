// SPDX-License-Identifier: MIT
#pragma once

#include "commands/command_host.h"
#include "controls/form.h"

namespace morvale {

// A command's host over the window's controls: the log, the status panels, the bar, the
// Cancel button, questions and error boxes are the form's.
class FormCommandHost final : public CommandHost {
  public:
    explicit FormCommandHost(Form& form) : form_(form) {}

    void log(std::string_view line) override { form_.log(line); }
    void slog(std::string_view text, Panel panel) override { form_.slog(text, panel); }
    void showProgress(ProgressAmount amount) override { form_.showProgress(amount); }
    void pumpEvents() override { form_.pumpEvents(); }
    void repaint() override { form_.repaint(); }
    void setCancelEnabled(bool enabled) override { form_.setEnabled(Button::Cancel, enabled); }
    bool askYesNo(std::string_view title, std::string_view text) override {
        return form_.askYesNo(title, text);
    }
    void showError(std::string_view text) override { form_.showError(text); }
    Clock& clock() override { return form_.clock(); }

  private:
    Form& form_;
};

}  // namespace morvale
