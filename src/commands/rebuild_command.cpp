#include "commands/rebuild_command.h"

#include "commands/command_run.h"
#include "commands/feature_files.h"
#include "commands/form_engine_host.h"
#include "platform/file.h"
#include "rebuild/rebuild.h"

namespace morvale {

namespace {

constexpr FeaturePass kRebuildPass{ShareMode::Exclusive, "Rebuilding", true};

// Open, create, rebuild the first part and, when the feature continues, the second; the
// numbering carries over. Throws FileError; the files close on every exit.
void rebuildFeature(Session& session, Form& form, const SecondPart& part,
                    const std::string& outputName) {
    OutputFile output;
    // Ids are renumbered only by a scan of this very source.
    RebuildNumbering numbering(session.scannedSource == form.text(Edit::EvoFile));
    FormEngineHost host(form);
    auto create = [&] {
        output = OutputFile::create(outputName);
        form.log("Creating " + outputName);
    };
    runFeature(session, form, part, kRebuildPass, create, [&](SourceFile& source) {
        Rebuild(session.engine, host, source, output, numbering);
    });
    output.close();
}

}  // namespace

void bRebuildClick(Session& session, Form& form) {
    CommandRun run(session, form);
    if (!run.started()) return;
    WritingCommands writing(form);
    form.showPage(Page::Status);

    SecondPart part = secondPartOf(form, session.selection);
    std::string outputName = outputBaseOf(form, session.selection, part) + ".rebuilt.EVO";
    if (!runFileWork(form, [&] { rebuildFeature(session, form, part, outputName); })) {
        writing.giveBack();
        return;
    }
    logStoppedByUser(form, session.engine, kStoppedWriting);
    logDone(form);
    form.setEnabled(Button::Demux, true);
    form.setEnabled(Button::Rebuild, true);
}

}  // namespace morvale
