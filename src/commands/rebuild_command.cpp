#include "commands/rebuild_command.h"

#include "commands/command_run.h"
#include "commands/feature_files.h"
#include "commands/form_engine_host.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "rebuild/rebuild.h"

namespace morvale {

namespace {

// Steps 5-9 of the command: open, create, rebuild the first part and, when the feature
// continues, the second. Throws FileError; the files close on every exit.
void rebuildFeature(Session& session, Form& form, const SecondPart& part,
                    const std::string& outputName) {
    const Selection& selection = session.selection;
    form.log("Opening file " + selection.sourceFileName);
    form.slog("Opening", 0);
    SourceFile source = SourceFile::open(form.text(Edit::EvoFile), ShareMode::Exclusive);
    form.log(fileSizeLine(source.size()));
    OutputFile output = OutputFile::create(outputName);
    form.log("Creating " + outputName);

    FormEngineHost host(form);
    RebuildNumbering numbering;
    form.slog("Rebuilding " + fileNameOf(source.path()), 0);
    Rebuild(session.engine, host, source, output, numbering);

    if (goesOnToSecondPart(form, part, session.engine.cancelRequested)) {
        source.close();
        source = SourceFile::open(part.path, ShareMode::Exclusive);
        form.log("Continue on " + fileNameOf(part.path));
        form.slog("Rebuilding " + fileNameOf(part.path), 0);
        Rebuild(session.engine, host, source, output, numbering);
    }
    output.close();
}

}  // namespace

void bRebuildClick(Session& session, Form& form) {
    CommandRun run(session, form);
    if (!run.started()) return;
    form.setEnabled(Button::Demux, false);
    form.setEnabled(Button::Rebuild, false);
    form.showPage(Page::Status);

    SecondPart part = secondPartOf(form, session.selection);
    std::string outputName = outputBaseOf(form, session.selection, part) + ".rebuilt.EVO";
    if (!runFileWork(form, [&] { rebuildFeature(session, form, part, outputName); })) return;
    logDone(form);
    form.setEnabled(Button::Demux, true);
    form.setEnabled(Button::Rebuild, true);
}

}  // namespace morvale
