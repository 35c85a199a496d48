// SPDX-License-Identifier: MIT
#pragma once

#include "commands/command_settings.h"
#include "commands/mkv_command.h"
#include "commands/session.h"
#include "controls/form.h"

namespace morvale {

// The button handlers of the window. Each fills the command's settings from the controls
// when it is pressed, runs the command of src/commands on the form, and shows the outcome in
// the controls: the stream boxes it lists, and the buttons as the command leaves them.

// A command's settings as the controls stand: the two paths, the output folder, the
// options, the extensions and the ticked boxes with their captions.
CommandSettings settingsOf(const Form& form);

// "Read EVO": the found streams become enabled, ticked and captioned boxes. A source that
// cannot be opened or read leaves the boxes empty and Read EVO, Demux and Rebuild disabled.
void bCheckClick(Session& session, Form& form);
// "Demux" and "Rebuild": a run that fails gives Demux and Rebuild back as they were, so the
// user can mend what failed and run again.
void bDemuxClick(Session& session, Form& form);
void bRebuildClick(Session& session, Form& form);
// "Make MKV": Demux and Rebuild are off while it runs.
void bMakeMkvClick(Session& session, Form& form, MkvOptions options);
// "Read XPL": the title's tracks tick, caption (and for audio and subtitles hint) their
// stream boxes; the tree and the outline memo show the title. A playlist that cannot be
// opened leaves the boxes emptied, the memo as it was and Read XPL disabled.
void bReadXPLClick(Session& session, Form& form);

// Whether the running command may be stopped: a scan stops without a question; a run that
// writes files asks first, No being the default.
bool stopConfirmed(const Session& session, Form& form);
// "Cancel": runs from the event pump of a running command, so it takes no re-entry lock.
// It only requests the stop; the running loop sees the request at its next block.
void bCancelClick(Session& session, Form& form);

// Marks a command as running for its whole extent: the other commands, the browse
// buttons, file drops and the stream boxes are locked (only Cancel works), and they get
// their states back when the run ends, however it ends. A command that finds another one
// running does nothing.
class CommandRun {
  public:
    CommandRun(Session& session, Form& form);
    ~CommandRun();
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
