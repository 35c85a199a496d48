#include "controls/command_buttons.h"

#include "commands/cancel_command.h"
#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "commands/read_xpl.h"
#include "commands/rebuild_command.h"
#include "controls/form_host.h"
#include "controls/stream_boxes.h"

namespace morvale {

namespace {

// Demux and Rebuild as they were before a run that writes files switched them off.
class WritingCommands {
  public:
    explicit WritingCommands(Form& form)
        : form_(form),
          demux_(form.isEnabled(Button::Demux)),
          rebuild_(form.isEnabled(Button::Rebuild)) {
        form_.setEnabled(Button::Demux, false);
        form_.setEnabled(Button::Rebuild, false);
    }
    // After the run: both on when it ended with "Done.", as they were when it failed.
    void end(bool done) {
        form_.setEnabled(Button::Demux, done || demux_);
        form_.setEnabled(Button::Rebuild, done || rebuild_);
    }

  private:
    Form& form_;
    bool demux_;
    bool rebuild_;
};

// Announces a playlist track in its box: ticked, captioned, and for audio and subtitles the
// caption as hint.
void showTrack(Form& form, const ListedTrack& track) {
    if (track.box < 0) return;
    const BoxPage page = track.kind == TrackKind::Video   ? BoxPage::Video
                         : track.kind == TrackKind::Audio ? BoxPage::Audio
                                                          : BoxPage::Subpicture;
    const StreamBox box{page, track.box};
    form.setBoxEnabled(box, true);
    setBoxTickedAndNotify(form, box, true);
    form.setBoxCaption(box, track.text);
    if (track.kind != TrackKind::Video) form.setBoxHint(box, track.text);
}

void showXplOutcome(Form& form, const XplOutcome& outcome) {
    if (outcome.tree) form.setXplTree(*outcome.tree);
    for (const ListedTrack& track : outcome.tracks)
        showTrack(form, track);
    if (outcome.outline) {
        form.setXplOutline(*outcome.outline);
        form.setXplOutlineVisible(true);
    }
    if (outcome.completed) form.setEnabled(Button::ReadXpl, true);
}

}  // namespace

CommandSettings settingsOf(const Form& form) {
    CommandSettings settings;
    settings.source = form.text(Edit::EvoFile);
    settings.playlist = form.text(Edit::XplFile);
    settings.outputFolder = form.text(Edit::Workdir);
    settings.options = {form.isTicked(Option::Continue), form.isTicked(Option::FastCheck),
                        form.isTicked(Option::CountFrames), form.isTicked(Option::Details)};
    settings.extensions = {form.text(Edit::VideoExt), form.text(Edit::AudioExt),
                           form.text(Edit::SubExt)};
    settings.subpictureFormat = form.subpictureFormat();
    settings.chosen = tickedBoxes(form);
    return settings;
}

CommandRun::CommandRun(Session& session, Form& form) : session_(session), form_(form) {
    if (session_.running) return;
    session_.running = true;
    form_.setLocked(true);
    owns_ = true;
}

CommandRun::~CommandRun() {
    if (!owns_) return;
    form_.setLocked(false);
    session_.running = false;
}

void bCheckClick(Session& session, Form& form) {
    CommandRun run(session, form);
    if (!run.started()) return;
    form.setEnabled(Button::Check, false);
    form.setEnabled(Button::Demux, false);
    form.setEnabled(Button::Rebuild, false);
    Resetcbs(form);
    form.showPage(Page::Status);
    FormCommandHost host(form);
    const ReadEvoOutcome outcome = readEvo(session, settingsOf(form), host);
    if (!outcome.completed) return;
    ListFoundStreams(form, outcome.lastSlots());
    form.setEnabled(Button::Check, true);
    cbVideoClick(form);
}

void bDemuxClick(Session& session, Form& form) {
    CommandRun run(session, form);
    if (!run.started()) return;
    WritingCommands writing(form);
    form.showPage(Page::Status);
    FormCommandHost host(form);
    writing.end(demuxFeature(session, settingsOf(form), host));
}

void bRebuildClick(Session& session, Form& form) {
    CommandRun run(session, form);
    if (!run.started()) return;
    WritingCommands writing(form);
    form.showPage(Page::Status);
    FormCommandHost host(form);
    writing.end(rebuildFeature(session, settingsOf(form), host));
}

void bMakeMkvClick(Session& session, Form& form, const MkvOptions& options) {
    CommandRun run(session, form);
    if (!run.started()) return;
    form.setEnabled(Button::Demux, false);
    form.setEnabled(Button::Rebuild, false);
    form.showPage(Page::Status);
    FormCommandHost host(form);
    if (makeMkv(session, settingsOf(form), options, host) == MkvEnd::FileError) return;
    form.setEnabled(Button::Demux, true);
    form.setEnabled(Button::Rebuild, true);
}

void bReadXPLClick(Session& session, Form& form) {
    CommandRun run(session, form);
    if (!run.started()) return;
    Resetcbs(form);
    form.setEnabled(Button::ReadXpl, false);
    form.showPage(Page::Xpl);
    FormCommandHost host(form);
    showXplOutcome(form, readXpl(session, settingsOf(form), host));
}

bool stopConfirmed(const RunControl& control, Form& form) {
    return !control.confirmCancel || form.askYesNo(kConfirmTitle, kStopQuestion);
}

void bCancelClick(Session& session, Form& form) {
    if (stopConfirmed(session.control, form)) session.control.requestStopByUser();
}

}  // namespace morvale
