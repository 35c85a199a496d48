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

// Runs a command's file work. A file error ends it: Cancel goes off since nothing runs any
// more, the message closes the log's block (so the log, scrolled back, tells what happened),
// the status is "Ready" again, and the message is shown. False when the work ended that way.
template <class Work>
bool runFileWork(Form& form, Work&& work) {
    try {
        std::forward<Work>(work)();
        return true;
    } catch (const FileError& error) {
        form.setEnabled(Button::Cancel, false);
        form.log(error.what());
        form.log("");
        form.slog("Ready", Panel::State);
        form.slog("", Panel::Progress);
        form.showError(error.what());
        return false;
    }
}

// Demux and Rebuild as they were before a run that writes files switched them off. A run
// that fails gives them back: the streams the last scan listed still stand, so the user
// can mend what failed (a missing output folder, a full disk) and run again.
class WritingCommands {
public:
    explicit WritingCommands(Form& form)
        : form_(form),
          demux_(form.isEnabled(Button::Demux)),
          rebuild_(form.isEnabled(Button::Rebuild)) {
        form_.setEnabled(Button::Demux, false);
        form_.setEnabled(Button::Rebuild, false);
    }
    void giveBack() {
        form_.setEnabled(Button::Demux, demux_);
        form_.setEnabled(Button::Rebuild, rebuild_);
    }

private:
    Form& form_;
    bool demux_;
    bool rebuild_;
};

// The line a command stopped by the user logs before "Done.".
inline constexpr const char* kStoppedScan = "Stopped by Cancel.";
inline constexpr const char* kStoppedWriting =
    "Stopped by Cancel: the output files hold what was written so far.";

inline void logStoppedByUser(Form& form, const EngineState& engine, const char* line) {
    if (engine.cancelledByUser) form.log(line);
}

// The closing lines of a command that ran to its end.
inline void logDone(Form& form) {
    form.log("Done.");
    form.log("");
    form.slog("Ready", Panel::State);
    form.slog("", Panel::Progress);
}

}  // namespace morvale
