#pragma once

#include "commands/form.h"
#include "commands/session.h"

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

}  // namespace morvale
