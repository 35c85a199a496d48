#include "commands/mkv_work_streams.h"

#include <memory>

#include "commands/feature_files.h"
#include "engine/demux.h"
#include "export/mkv_hand_off.h"
#include "platform/folders.h"
#include "platform/paths.h"

namespace morvale {

namespace {

// Both parts are opened exclusively, as Demux opens them.
constexpr FeaturePass kMkvPass{ShareMode::Exclusive, "Demuxing", true};

// The extension of a box's work file, by the kind of the stream the last scan found in its
// slot.
std::string workExtensionOf(const SlotTable& scanned, const ChosenBox& box) {
    const StreamKind* row = streamKindInSlot(box.kind, scanned.owner(box.kind, box.slot));
    return row ? std::string(workFileKindOf(row->format).extension) : std::string("bin");
}

}  // namespace

MkvLayout mkvLayoutOf(const CommandSettings& settings, const MkvOptions& options) {
    MkvLayout layout;
    layout.output = mkvOutputPath(settings, options);
    const std::string withoutExtension = layout.output.substr(0, layout.output.size() - 4);
    layout.work = withoutExtension + ".work/";
    layout.stem = layout.work + fileNameOf(withoutExtension);
    return layout;
}

void WorkStreams::demux(Session& session, const CommandSettings& settings, CommandHost& host,
                        const MkvLayout& layout) {
    layout_ = layout;
    boxes_ = settings.chosen;
    files_.assign(boxes_.size(), {});
    extensions_.clear();
    for (const ChosenBox& box : boxes_)
        extensions_.push_back(workExtensionOf(session.lastScan.slotTable, box));
    createFolders(layout.work.substr(0, layout.work.size() - 1));
    host.log("Work folder " + layout.work);
    CommandEngineHost engineHost(host);
    runFeature(host, settings, secondPartOf(settings), kMkvPass, {}, [&](SourceFile& source) {
        demuxPart(session, settings, engineHost, source);
        return !session.control.cancelRequested;
    });
}

// One part: one work file per chosen box, named after the stem, the box's caption, the part
// and the stream's kind. Pictures are always counted: their spacing gives each part's video
// length for the join.
void WorkStreams::demuxPart(Session& session, const CommandSettings& settings, EngineHost& host,
                            SourceFile& source) {
    ++parts_;
    std::vector<std::unique_ptr<OutputFile>> files;
    std::vector<std::unique_ptr<PayloadSink>> sinks;
    DemuxOutputs outputs;
    for (size_t b = 0; b < boxes_.size(); ++b) {
        const std::string path = layout_.stem + "." + boxes_[b].caption + ".part" +
                                 std::to_string(parts_) + "." + extensions_[b];
        OutputFile& file =
            *files.emplace_back(std::make_unique<OutputFile>(OutputFile::create(path)));
        sinks.push_back(boxOutputSink(boxes_[b].kind, file, session.lastScan.subpictureTimeBase));
        outputs.at(boxes_[b].kind, boxes_[b].slot) = sinks.back().get();
        files_[b].push_back(path);
    }
    const EngineOptions options{.mode = EngineMode::Demux,
                                .countFrames = true,
                                .details = settings.options.details};
    const PartScan scan = morvale::demux(host, session.control, source, options, &outputs);
    for (const auto& file : files)
        file->close();
    recorder_.addPart(source.path(), scan);
}

int WorkStreams::boxIndexOf(const ScanStream& stream) const {
    for (size_t b = 0; b < boxes_.size(); ++b) {
        if (boxes_[b].kind == slotKindOf(stream.kind) && boxes_[b].slot == stream.slot) {
            return static_cast<int>(b);
        }
    }
    return -1;
}

std::vector<std::string>* WorkStreams::filesOf(const ScanStream& stream) {
    const int b = boxIndexOf(stream);
    return b < 0 ? nullptr : &files_[static_cast<size_t>(b)];
}

std::string WorkStreams::captionOf(const ScanStream& stream) const {
    const int b = boxIndexOf(stream);
    return b < 0 ? std::string() : boxes_[static_cast<size_t>(b)].caption;
}

}  // namespace morvale
