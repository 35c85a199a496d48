#include "cli/cli_commands.h"

#include <functional>
#include <ostream>

#include "cli/cli_form.h"
#include "platform/stop_signals.h"
#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "commands/read_xpl.h"
#include "commands/rebuild_command.h"
#include "commands/selection.h"
#include "commands/stream_lists.h"

namespace morvale {

namespace {

// The window as the user leaves it before pressing a button: first activation (the boxes
// in their empty state), the options set, the source chosen.
void prepareSource(CliForm& form, Session& session, const SourceOptions& options) {
    Resetcbs(form);
    form.setText(Edit::Workdir, options.outputDir);
    form.setTicked(Option::Continue, !options.noContinue);
    form.setTicked(Option::FastCheck, !options.noFastCheck);
    form.setTicked(Option::CountFrames, !options.noCountFrames);
    form.setTicked(Option::Details, !options.noDetails);
    form.setText(Edit::VideoExt, options.videoExt);
    form.setText(Edit::AudioExt, options.audioExt);
    form.setText(Edit::SubExt, options.subExt);
    form.setText(Edit::EvoFile, options.source);
    EVOadj(form, session.selection);
}

int statusOf(const CliForm& form) {
    if (form.failed()) return kExitFileError;
    if (StopSignals::received()) return kExitStopped;
    return kExitDone;
}

// Read EVO, the choice of streams, then the writing command (if any).
int scanThenRun(const SourceOptions& options, const CliStreams& streams,
                const std::function<void(Session&, Form&)>& command) {
    StopSignals signals;
    Session session;
    CliForm form(session, streams.out, streams.err, streams.showStatus);
    prepareSource(form, session, options);
    bCheckClick(session, form);
    if (int status = statusOf(form); status != kExitDone) return status;

    if (options.streams) {
        if (std::optional<std::string> missing = applyStreamChoices(form, *options.streams)) {
            streams.err << "morvale-cli: " << options.source << " has no stream \"" << *missing
                        << "\"\n";
            return kExitUsage;
        }
    }
    if (!command) return kExitDone;
    command(session, form);
    return statusOf(form);
}

}  // namespace

int runScan(const SourceOptions& options, const CliStreams& streams) {
    return scanThenRun(options, streams, {});
}

int runDemux(const SourceOptions& options, const CliStreams& streams) {
    return scanThenRun(options, streams, bDemuxClick);
}

int runRebuild(const SourceOptions& options, const CliStreams& streams) {
    return scanThenRun(options, streams, bRebuildClick);
}

int runXpl(const XplOptions& options, const CliStreams& streams) {
    StopSignals signals;
    Session session;
    CliForm form(session, streams.out, streams.err, streams.showStatus);
    Resetcbs(form);
    if (!options.source.empty()) {
        form.setText(Edit::EvoFile, options.source);
        EVOadj(form, session.selection);
    }
    form.setText(Edit::XplFile, options.playlist);
    XPLadj(form, session.selection);
    bReadXPLClick(session, form);
    if (form.failed()) return kExitFileError;
    if (options.outline) {
        for (const std::string& line : form.xplOutline())
            streams.out << line << '\n';
    }
    if (options.tree) {
        for (const std::string& line : xplTreeLines(form.xplTree()))
            streams.out << line << '\n';
    }
    streams.out.flush();
    return kExitDone;
}

}  // namespace morvale
