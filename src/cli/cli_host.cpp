// SPDX-License-Identifier: MIT
#include "cli/cli_host.h"

#include "platform/stop_signals.h"

namespace morvale {

namespace {
constexpr const char* kClearLine = "\r\033[K";
}  // namespace

CliHost::CliHost(RunControl& control, std::ostream& out, std::ostream& err, bool showStatus)
    : control_(control), out_(out), err_(err), showStatus_(showStatus) {}

CliHost::~CliHost() {
    clearStatus();
}

void CliHost::log(std::string_view line) {
    clearStatus();
    out_ << line << '\n';
    out_.flush();  // lines show as they come, also through a pipe
    drawStatus();
}

void CliHost::slog(std::string_view text, Panel panel) {
    panels_[panel == Panel::State ? 0 : 1] = std::string(text);
    drawStatus();
}

void CliHost::pumpEvents() {
    if (StopSignals::received()) control_.requestStopByUser();
}

void CliHost::showError(std::string_view text) {
    failed_ = true;
    clearStatus();
    err_ << text << '\n';
    err_.flush();
}

void CliHost::clearStatus() {
    if (!statusShown_) return;
    err_ << kClearLine;
    err_.flush();
    statusShown_ = false;
}

// Both panels on one line, rewritten in place: what the program does and how far it is.
// Nothing while they say nothing or the state is "Ready" (nothing runs).
void CliHost::drawStatus() {
    if (!showStatus_) return;
    std::string line = panels_[0];
    if (!panels_[1].empty()) line += (line.empty() ? "" : " ") + panels_[1];
    if (line.empty() || panels_[0] == "Ready") {
        clearStatus();
        return;
    }
    err_ << kClearLine << " " << line;
    err_.flush();
    statusShown_ = true;
}

}  // namespace morvale
