#pragma once

#include <ostream>
#include <string>

#include "commands/plain_form.h"
#include "commands/session.h"

namespace morvale {

// The window's controls for morvale-cli: the message log goes to stdout line by line, the
// status panels (when stderr is a terminal) to one rewritten line on stderr, error boxes to
// stderr. A stop signal seen at an event pump requests the stop, as Cancel does, without a
// question.
class CliForm final : public PlainForm {
  public:
    CliForm(Session& session, std::ostream& out, std::ostream& err, bool showStatus);
    ~CliForm() override;

    bool failed() const { return !errors().empty(); }

  protected:
    void onLog(std::string_view line) override;
    void onStatus(std::string_view text, Panel panel) override;
    void onError(std::string_view text) override;

  private:
    void clearStatus();
    void drawStatus();

    Session& session_;
    std::ostream& out_;
    std::ostream& err_;
    bool showStatus_;
    bool statusSet_ = false;  // a command has set a panel: the design texts are not shown
    bool statusShown_ = false;
};

}  // namespace morvale
