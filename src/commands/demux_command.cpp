// SPDX-License-Identifier: MIT
#include "commands/demux_command.h"

#include <memory>
#include <optional>
#include <vector>

#include "commands/command_run.h"
#include "commands/converted_subpictures.h"
#include "commands/feature_files.h"
#include "commands/frame_summary.h"
#include "engine/demux.h"

namespace morvale {

namespace {

// The outputs of one run, one per chosen box in box order (a subpicture box in VobSub has
// two files). They close (flushed, with what was written) when the run ends, however it
// ends.
class RunOutputs {
  public:
    // Creates the output of every chosen box, in box order, replacing files of that name:
    // elementary streams, and subpicture records against the last scan's time base or their
    // conversion to the chosen subpicture format. None is created when the folder is missing
    // or one of them would be a file the run reads.
    void create(const CommandSettings& settings, const SecondPart& part,
                const std::string& outputBase, const LastScan& scan, CommandHost& host) {
        prepareOutputs(host, settings, part, outputNames(settings, outputBase));
        files_.reserve(settings.chosen.size() + 1);
        std::optional<SubpictureConversionSetup> conversion;
        for (const ChosenBox& box : settings.chosen) {
            if (converted(settings, box)) {
                if (!conversion) conversion = subpictureConversionSetup(settings, scan);
                createConverted(*conversion, settings, outputBase, box, host);
                continue;
            }
            OutputFile& file = createFile(demuxOutputName(settings, outputBase, box), host);
            sinks_.push_back(boxOutputSink(box.kind, file, scan.subpictureTimeBase));
            slots_.at(box.kind, box.slot) = sinks_.back().get();
        }
    }

    const DemuxOutputs& slots() const { return slots_; }

    // The converted subpicture boxes write their last events and log what they left out.
    void finish(const std::vector<ScannedPart>& parts, CommandHost& host) {
        const std::optional<int64_t> end = videoEndOf(parts);
        for (ConvertedSubpictures* converted : converted_)
            converted->finish(end, host);
    }

    // Flushes and closes every output; a failing flush throws "Stream write error" after
    // the others are closed too (by their destructors).
    void close() {
        for (const auto& file : files_)
            file->close();
    }

  private:
    static bool converted(const CommandSettings& settings, const ChosenBox& box) {
        return box.kind == SlotKind::Subpicture &&
               settings.subpictureFormat != SubpictureFormat::Records;
    }

    // Every file the run creates, in the order it creates them.
    static std::vector<std::string> outputNames(const CommandSettings& settings,
                                                const std::string& outputBase) {
        std::vector<std::string> names;
        for (const ChosenBox& box : settings.chosen) {
            if (!converted(settings, box)) {
                names.push_back(demuxOutputName(settings, outputBase, box));
                continue;
            }
            for (std::string& name :
                 convertedSubpictureNames(settings.subpictureFormat, outputBase + "." + box.caption,
                                          settings.extensions.subpicture))
                names.push_back(std::move(name));
        }
        return names;
    }

    OutputFile& createFile(const std::string& name, CommandHost& host) {
        OutputFile& file =
            *files_.emplace_back(std::make_unique<OutputFile>(OutputFile::create(name)));
        host.log("Creating " + name);
        return file;
    }

    void createConverted(const SubpictureConversionSetup& setup, const CommandSettings& settings,
                         const std::string& outputBase, const ChosenBox& box, CommandHost& host) {
        std::vector<OutputFile*> files;
        for (const std::string& name : convertedSubpictureNames(
                 setup.format, outputBase + "." + box.caption, settings.extensions.subpicture))
            files.push_back(&createFile(name, host));
        std::unique_ptr<ConvertedSubpictures> sink = convertSubpictures(setup, files, box.caption);
        converted_.push_back(sink.get());
        slots_.at(box.kind, box.slot) = sink.get();
        sinks_.push_back(std::move(sink));
    }

    std::vector<std::unique_ptr<OutputFile>> files_;
    std::vector<std::unique_ptr<PayloadSink>> sinks_;
    std::vector<ConvertedSubpictures*> converted_;
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
                                .countFrames = settings.options.countFrames,
                                .details = false,
                                .fastCheck = false,
                                .runProgress = std::nullopt};
    runFeature(
        host, settings, part, kDemuxPass,
        [&] { outputs.create(settings, part, outputBase, session.lastScan, host); },
        [&](SourceFile& source) {
            parts.push_back({source.path(), demux(engineHost, session.control, source, options,
                                                  &outputs.slots())});
            return !session.control.cancelRequested;
        });
    outputs.finish(parts, host);
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
