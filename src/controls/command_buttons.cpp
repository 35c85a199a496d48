// SPDX-License-Identifier: MIT
#include "controls/command_buttons.h"

#include "commands/cancel_command.h"
#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "commands/read_xpl.h"
#include "commands/rebuild_command.h"
#include "commands/stream_names.h"
#include "controls/form_host.h"
#include "controls/source_fields.h"
#include "export/disc_title_listing.h"
#include "export/disc_titles.h"
#include "platform/paths.h"
#include "playlist/playlist_text.h"
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

// "1. Sample Feature  0:00:10.010  2 parts (FEATURE_1.EVO FEATURE_2.EVO)": what the XPL
// page lists of a title.
std::string titleListLine(size_t index, const DiscTitle& title) {
    std::string line = std::to_string(index + 1) + ". " +
                       fileNameComponent(title.title.name, "Title " + std::to_string(index + 1));
    if (title.durationNs) line += "  " + listedDuration(*title.durationNs);
    line += "  " + std::to_string(title.evoNames.size()) +
            (title.evoNames.size() == 1 ? " part (" : " parts (");
    for (size_t n = 0; n < title.evoNames.size(); ++n)
        line += (n ? " " : "") + title.evoNames[n];
    return line + ")" + (title.likelyFeature ? ", likely feature" : "");
}

// The disc's titles, after a Read XPL of its playlist, with the title that plays the source
// chosen (none when no title plays it: Make MKV then makes the source's feature).
void listDiscTitles(Session& session, Form& form) {
    session.discTitles.clear();
    try {
        const std::string playlist = form.text(Edit::XplFile);
        if (!playlist.empty()) session.discTitles = readDiscTitles(playlist).titles;
    } catch (const FileError&) {
        session.discTitles.clear();  // Read XPL has said why the playlist cannot be read
    }
    std::vector<std::string> lines;
    std::optional<size_t> chosen;
    const std::string source = fileNameOf(form.text(Edit::EvoFile));
    for (size_t t = 0; t < session.discTitles.size(); ++t) {
        const DiscTitle& title = session.discTitles[t];
        lines.push_back(titleListLine(t, title));
        const bool plays = !title.evoNames.empty() && upperAscii(title.evoNames.front()) == upperAscii(source);
        if (!chosen && plays) chosen = t;
    }
    form.setDiscTitles(lines, chosen);
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

namespace {

// The Matroska file takes every stream met, but those whose box is listed and left unticked.
SlotSelection untickedListedBoxes(const Form& form) {
    SlotSelection unticked;
    for (int order = 0; order < kSlotBoxCount; ++order) {
        const SlotRef ref = slotAt(order);
        const StreamBox box{ref.kind, ref.slot};
        if (form.boxEnabled(box) && !form.boxTicked(box)) unticked.set(ref.kind, ref.slot, true);
    }
    return unticked;
}

// While Make MKV runs, Cancel asks about the Matroska file.
class StopQuestion {
  public:
    StopQuestion(Session& session, std::string_view question) : session_(session) {
        session_.stopQuestion = question;
    }
    ~StopQuestion() { session_.stopQuestion = {}; }

  private:
    Session& session_;
};

}  // namespace

void bMakeMkvClick(Session& session, Form& form, MkvOptions options) {
    CommandRun run(session, form);
    if (!run.started()) return;
    StopQuestion question(session, kStopMkvQuestion);
    form.setEnabled(Button::Demux, false);
    form.setEnabled(Button::Rebuild, false);
    form.showPage(Page::Status);
    FormCommandHost host(form);
    options.askBeforeReplacing = true;
    options.streams.untickedBoxes = untickedListedBoxes(form);
    const std::optional<size_t> title = form.chosenDiscTitle();
    if (title && *title < session.discTitles.size() && options.title == std::nullopt) {
        options.title = MkvTitleChoice{form.text(Edit::XplFile), static_cast<int>(*title) + 1};
    }
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
    listDiscTitles(session, form);
    keepWritingOffUntilRead(session, form);  // the playlist's ticks alone write nothing
}

bool stopConfirmed(const Session& session, Form& form) {
    if (!session.control.confirmCancel) return true;
    return form.askYesNo(kConfirmTitle,
                         session.stopQuestion.empty() ? kStopQuestion : session.stopQuestion);
}

void bCancelClick(Session& session, Form& form) {
    if (stopConfirmed(session, form)) session.control.requestStopByUser();
}

}  // namespace morvale
