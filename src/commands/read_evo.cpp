#include "commands/read_evo.h"

#include "commands/command_run.h"
#include "commands/feature_files.h"
#include "commands/form_engine_host.h"
#include "commands/frame_summary.h"
#include "commands/stream_lists.h"
#include "engine/demux.h"
#include "platform/paths.h"

namespace morvale {

namespace {

// Opens the first part shared (other programs may go on writing it) and the second part
// exclusively, and scans both. Throws FileError; the source closes on every exit.
void scanFeature(Session& session, Form& form, const SecondPart& part) {
    form.log("Opening file " + session.selection.sourceFileName);
    SourceFile source = SourceFile::open(form.text(Edit::EvoFile), ShareMode::Shared);
    form.slog("Reading " + fileNameOf(source.path()) + " ", 0);
    form.log(fileSizeLine(source.size()));
    FormEngineHost host(form);
    demux(session.engine, host, source, EngineMode::Scan);

    if (goesOnToSecondPart(form, part, session.engine.cancelRequested)) {
        source.close();
        source = SourceFile::open(part.path, ShareMode::Exclusive);
        form.log("Continue on " + fileNameOf(part.path));
        form.slog("Reading " + fileNameOf(part.path), 0);
        demux(session.engine, host, source, EngineMode::Scan);
    }
}

void logFrameCounts(Form& form, const EngineState& engine) {
    for (int slot = 0; slot < kVideoSlots; ++slot) {
        const int32_t count = engine.frameCounts[slot];
        if (count > 0) form.log(frameCountLine(form, slot, count, readEvoRunningDays(count)));
    }
    if (int64_t{engine.frameCounts[0]} + engine.frameCounts[1] > 0) form.log("");
}

}  // namespace

void bCheckClick(Session& session, Form& form) {
    CommandRun run(session, form);
    if (!run.started()) return;
    form.setEnabled(Button::Check, false);
    form.setEnabled(Button::Demux, false);
    form.setEnabled(Button::Rebuild, false);
    Resetcbs(form);
    form.showPage(Page::Status);

    EngineState& engine = session.engine;
    engine.frameCounts = {0, 0};
    engine.minFirstPts = 0xFFFFFFFF;
    const SecondPart part = secondPartOf(form, session.selection);
    if (!runFileWork(form, [&] { scanFeature(session, form, part); })) return;

    ListFoundStreams(form, engine);
    logDone(form);
    logFrameCounts(form, engine);
    form.setEnabled(Button::Check, true);
    cbVideoClick(form);
}

}  // namespace morvale
