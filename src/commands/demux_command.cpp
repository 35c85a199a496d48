#include "commands/demux_command.h"

#include <array>

#include "commands/command_run.h"
#include "commands/feature_files.h"
#include "commands/form_design.h"
#include "commands/form_engine_host.h"
#include "commands/frame_summary.h"
#include "commands/stream_lists.h"
#include "engine/demux.h"

namespace morvale {

namespace {

// The outputs of one run, one per ticked box in box order. They close (flushed, with what
// was written) when the run ends, however it ends.
class RunOutputs {
  public:
    // Creates the output of every ticked box, in box order, replacing files of that name.
    void create(Form& form, const std::string& outputBase) {
        for (int order = 0; order < kSlotBoxCount; ++order) {
            const StreamBox box = slotBoxAt(order);
            if (!form.boxTicked(box)) continue;
            const std::string name = demuxOutputName(form, outputBase, box);
            files_[order] = OutputFile::create(name);
            slots_.at(box.page, box.index) = &files_[order];
            form.log("Creating " + name);
        }
    }

    const DemuxOutputs& slots() const { return slots_; }

    // Flushes and closes every output; a failing flush throws "Stream write error" after
    // the others are closed too (by their destructors).
    void close() {
        for (OutputFile& file : files_)
            file.close();
    }

  private:
    std::array<OutputFile, kSlotBoxCount> files_;
    DemuxOutputs slots_;
};

constexpr FeaturePass kDemuxPass{ShareMode::Exclusive, "Demuxing", true};

// Steps from opening the source to closing the outputs. Throws FileError.
void demuxFeature(Session& session, Form& form, const SecondPart& part,
                  const std::string& outputBase, RunningTimes& times) {
    RunOutputs outputs;
    FormEngineHost host(form);
    runFeature(
        session, form, part, kDemuxPass, [&] { outputs.create(form, outputBase); },
        [&](SourceFile& source) {
            const auto countsBefore = session.engine.frameCounts;
            demux(session.engine, host, source, EngineMode::Demux, &outputs.slots());
            times.addPart(session.engine, countsBefore);
        });
    outputs.close();
}

}  // namespace

std::string demuxOutputName(const Form& form, const std::string& outputBase, StreamBox box) {
    return outputBase + "." + form.boxCaption(box) + "." + form.text(designOf(box.page).extension);
}

void bDemuxClick(Session& session, Form& form) {
    CommandRun run(session, form);
    if (!run.started()) return;
    WritingCommands writing(form);
    form.showPage(Page::Status);

    EngineState& engine = session.engine;
    engine.frameCounts = {0, 0};
    const SecondPart part = secondPartOf(form, session.selection);
    const std::string outputBase = outputBaseOf(form, session.selection, part);
    RunningTimes times;
    if (!runFileWork(form, [&] { demuxFeature(session, form, part, outputBase, times); })) {
        writing.giveBack();
        return;
    }

    logStoppedByUser(form, engine, kStoppedWriting);
    logDone(form);
    for (int slot = 0; slot < kVideoSlots; ++slot) {
        const int32_t count = engine.frameCounts[slot];
        if (count > 0) {
            form.log(frameCountLine(form, slot, count, times.days(slot, count, demuxRunningDays)));
        }
    }
    form.setEnabled(Button::Demux, true);
    form.setEnabled(Button::Rebuild, true);
}

}  // namespace morvale
