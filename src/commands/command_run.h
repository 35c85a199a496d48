#pragma once

#include <utility>

#include "commands/form.h"
#include "commands/session.h"
#include "platform/file.h"

namespace morvale {

// Marks a command as running for its whole extent: the other commands, the browse
// buttons, file drops and the stream boxes are locked (only Cancel works), and they get
// their states back when the run ends, however it ends. A command that finds another one
// running does nothing.
class CommandRun {
public:
    CommandRun(Session& session, Form& form) : session_(session), form_(form) {
        if (session_.running) return;
        session_.running = true;
        form_.setLocked(true);
        owns_ = true;
    }
    ~CommandRun() {
        if (!owns_) return;
        form_.setLocked(false);
        session_.running = false;
    }
    CommandRun(const CommandRun&) = delete;
    CommandRun& operator=(const CommandRun&) = delete;

    // False when another command was already running: the caller returns at once.
    bool started() const { return owns_; }

private:
    Session& session_;
    Form& form_;
    bool owns_ = false;
};

// Runs a command's file work. A file error ends it: the message is shown, and Cancel goes
// off since nothing runs any more. False when the work ended that way.
template <class Work>
bool runFileWork(Form& form, Work&& work) {
    try {
        std::forward<Work>(work)();
        return true;
    } catch (const FileError& error) {
        form.setEnabled(Button::Cancel, false);
        form.showError(error.what());
        return false;
    }
}

// The closing lines of a command that ran to its end.
inline void logDone(Form& form) {
    form.log("Done.");
    form.log("");
    form.slog("Ready", Panel::State);
    form.slog("", Panel::Progress);
}

}  // namespace morvale
