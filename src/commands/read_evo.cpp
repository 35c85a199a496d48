#include "commands/read_evo.h"

#include <algorithm>

#include "commands/command_run.h"
#include "commands/feature_files.h"
#include "commands/form_engine_host.h"
#include "commands/frame_summary.h"
#include "commands/stream_lists.h"
#include "engine/demux.h"

namespace morvale {

namespace {

constexpr const char* kNoStreamFound = "No video, audio or subpicture stream found.";

// The first part is opened shared: other programs may go on writing it.
constexpr FeaturePass kScanPass{ShareMode::Shared, "Reading", false, " "};

bool anyStreamFound(const EngineState& engine) {
    const auto found = [](const auto& ids) {
        return std::any_of(ids.begin(), ids.end(), [](int32_t id) { return id >= 0; });
    };
    return found(engine.videoStreamIds) || found(engine.audioStreamIds) ||
           found(engine.subpictureStreamIds);
}

// Scans both parts, handing what each held to the session's recorder (if any); true when
// either held a stream. Throws FileError.
bool scanFeature(Session& session, Form& form, const SecondPart& part, RunningTimes& times) {
    FormEngineHost host(form);
    bool found = false;
    runFeature(session, form, part, kScanPass, {}, [&](SourceFile& source) {
        const auto countsBefore = session.engine.frameCounts;
        demux(session.engine, host, source, EngineMode::Scan);
        times.addPart(session.engine, countsBefore);
        found = found || anyStreamFound(session.engine);
        if (session.scanRecorder) {
            session.scanRecorder->addPart(source.path(), session.engine, countsBefore);
        }
    });
    return found;
}

void logFrameCounts(Form& form, const EngineState& engine, const RunningTimes& times) {
    for (int slot = 0; slot < kVideoSlots; ++slot) {
        const int32_t count = engine.frameCounts[slot];
        if (count > 0) {
            form.log(
                frameCountLine(form, slot, count, times.days(slot, count, readEvoRunningDays)));
        }
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
    RunningTimes times;
    bool found = false;
    session.scannedSource.clear();
    if (!runFileWork(form, [&] { found = scanFeature(session, form, part, times); })) return;
    session.scannedSource = form.text(Edit::EvoFile);

    ListFoundStreams(form, engine);
    if (!found) form.log(kNoStreamFound);
    logStoppedByUser(form, engine, kStoppedScan);
    logDone(form);
    logFrameCounts(form, engine, times);
    form.setEnabled(Button::Check, true);
    cbVideoClick(form);
}

}  // namespace morvale
