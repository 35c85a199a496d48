#include "commands/demux_command.h"

#include <memory>
#include <vector>

#include "commands/command_run.h"
#include "commands/feature_files.h"
#include "commands/frame_summary.h"
#include "engine/demux.h"

namespace morvale {

namespace {

// The outputs of one run, one per chosen box in box order. They close (flushed, with what
// was written) when the run ends, however it ends.
class RunOutputs {
  public:
    // Creates the output of every chosen box, in box order, replacing files of that name:
    // elementary streams, and subpicture records against the last scan's time base. None is
    // created when the folder is missing or one of them would be a file the run reads.
    void create(const CommandSettings& settings, const SecondPart& part,
                const std::string& outputBase, uint32_t subpictureTimeBase, CommandHost& host) {
        std::vector<std::string> names;
        for (const ChosenBox& box : settings.chosen)
            names.push_back(demuxOutputName(settings, outputBase, box));
        prepareOutputs(host, settings, part, names);
        files_.reserve(settings.chosen.size());
        for (size_t n = 0; n < names.size(); ++n) {
            const ChosenBox& box = settings.chosen[n];
            OutputFile& file =
                *files_.emplace_back(std::make_unique<OutputFile>(OutputFile::create(names[n])));
            sinks_.push_back(boxOutputSink(box.kind, file, subpictureTimeBase));
            slots_.at(box.kind, box.slot) = sinks_.back().get();
            host.log("Creating " + names[n]);
        }
    }

    const DemuxOutputs& slots() const { return slots_; }

    // Flushes and closes every output; a failing flush throws "Stream write error" after
    // the others are closed too (by their destructors).
    void close() {
        for (const auto& file : files_)
            file->close();
    }

  private:
    std::vector<std::unique_ptr<OutputFile>> files_;
    std::vector<std::unique_ptr<PayloadSink>> sinks_;
    DemuxOutputs slots_;
};

constexpr FeaturePass kDemuxPass{ShareMode::Exclusive, "Demuxing", true};

// Steps from opening the source to closing the outputs. Throws FileError.
void demuxParts(Session& session, const CommandSettings& settings, CommandHost& host,
                std::vector<ScannedPart>& parts) {
    const SecondPart part = secondPartOf(settings);
    const std::string outputBase = outputBaseOf(settings, part);
    RunOutputs outputs;
    CommandEngineHost engineHost(host);
    const EngineOptions options{.mode = EngineMode::Demux,
                                .countFrames = settings.options.countFrames};
    const uint32_t timeBase = session.lastScan.subpictureTimeBase;
    runFeature(
        host, settings, part, kDemuxPass,
        [&] { outputs.create(settings, part, outputBase, timeBase, host); },
        [&](SourceFile& source) {
            parts.push_back(
                {source.path(), demux(engineHost, session.control, source, options, &outputs.slots())});
            return !session.control.cancelRequested;
        });
    outputs.close();
}

}  // namespace

std::string demuxOutputName(const CommandSettings& settings, const std::string& outputBase,
                            const ChosenBox& box) {
    return outputBase + "." + box.caption + "." + settings.extensions.of(box.kind);
}

bool demuxFeature(Session& session, const CommandSettings& settings, CommandHost& host) {
    std::vector<ScannedPart> parts;
    if (!runFileWork(host, [&] { demuxParts(session, settings, host, parts); })) return false;
    logStoppedByUser(host, session.control, kStoppedWriting);
    logDone(host);
    logFrameCounts(host, parts, demuxRunningDays, false);
    return true;
}

}  // namespace morvale
