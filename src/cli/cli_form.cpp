#include "cli/cli_form.h"

#include "platform/stop_signals.h"

namespace morvale {

namespace {
constexpr const char* kClearLine = "\r\033[K";
}  // namespace

CliForm::CliForm(Session& session, std::ostream& out, std::ostream& err, bool showStatus)
    : session_(session), out_(out), err_(err), showStatus_(showStatus) {
    onPump = [this] {
        if (StopSignals::received()) session_.engine.requestStopByUser();
    };
}

CliForm::~CliForm() {
    clearStatus();
}

void CliForm::onLog(std::string_view line) {
    clearStatus();
    out_ << line << '\n';
    out_.flush();  // lines show as they come, also through a pipe
    drawStatus();
}

void CliForm::onStatus(std::string_view /*text*/, Panel /*panel*/) {
    statusSet_ = true;
    drawStatus();
}

void CliForm::onError(std::string_view text) {
    clearStatus();
    err_ << text << '\n';
    err_.flush();
}

void CliForm::clearStatus() {
    if (!statusShown_) return;
    err_ << kClearLine;
    err_.flush();
    statusShown_ = false;
}

// Both panels on one line, rewritten in place; nothing while the panels say nothing.
void CliForm::drawStatus() {
    if (!showStatus_ || !statusSet_) return;
    std::string line = panelText(0);
    if (panelText(1).size() > 1) line += " " + panelText(1);
    if (line == " Ready") {
        clearStatus();
        return;
    }
    err_ << kClearLine << line;
    err_.flush();
    statusShown_ = true;
}

}  // namespace morvale
