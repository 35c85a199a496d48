// SPDX-License-Identifier: MIT
#include "commands/rebuild_command.h"

#include "commands/command_run.h"
#include "commands/feature_files.h"
#include "platform/file.h"
#include "rebuild/rebuild.h"

namespace morvale {

namespace {

constexpr FeaturePass kRebuildPass{ShareMode::Exclusive, "Rebuilding", true};

// Open, create, rebuild the first part and, when the feature continues, the second; the
// numbering carries over. Throws FileError; the files close on every exit.
void rebuildParts(Session& session, const CommandSettings& settings, CommandHost& host) {
    const SecondPart part = secondPartOf(settings);
    const std::string outputName = outputBaseOf(settings, part) + ".rebuilt.EVO";
    OutputFile output;
    // Ids are renumbered only by a scan of this very source.
    RebuildNumbering numbering(session.lastScan.source == settings.source);
    const SlotSelection ticks = settings.ticks();
    const RebuildRules rules{session.lastScan.slotTable, ticks};
    CommandEngineHost engineHost(host);
    auto create = [&] {
        prepareOutputs(host, settings, part, {outputName});
        output = OutputFile::create(outputName);
        host.log("Creating " + outputName);
    };
    runFeature(host, settings, part, kRebuildPass, create, [&](SourceFile& source) {
        Rebuild(engineHost, session.control, source, output, rules, numbering);
        return !session.control.cancelRequested;
    });
    output.close();
}

}  // namespace

bool rebuildFeature(Session& session, const CommandSettings& settings, CommandHost& host) {
    if (!runFileWork(host, [&] { rebuildParts(session, settings, host); })) return false;
    logStoppedByUser(host, session.control, kStoppedWriting);
    logDone(host);
    return true;
}

}  // namespace morvale
