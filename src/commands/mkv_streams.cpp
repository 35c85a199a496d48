// SPDX-License-Identifier: MIT
#include "commands/mkv_streams.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <tuple>

#include "export/mkv_hand_off.h"

namespace morvale {

namespace {

// Video goes into its file and to the timer of its part's pictures.
class TimedVideoSink final : public PayloadSink {
  public:
    explicit TimedVideoSink(OutputFile& file) : file_(file) {}
    void take(std::span<const uint8_t> bytes, bool first, std::optional<uint32_t> pts) override {
        if (!bytes.empty()) file_.write(bytes.data(), bytes.size());
        if (timer) timer->feed(bytes, first, pts);
    }
    std::unique_ptr<PictureTimer> timer;

  private:
    OutputFile& file_;
};

std::string hexId(uint8_t id) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(id));
    return text;
}

}  // namespace

void PieceRecordSink::take(std::span<const uint8_t> bytes, bool first, std::optional<uint32_t> pts) {
    std::array<uint8_t, kPieceRecordHeader> header{};
    header[0] = static_cast<uint8_t>((first ? 1 : 0) | (pts ? 2 : 0));
    const uint32_t time = pts.value_or(0);
    const auto length = static_cast<uint32_t>(bytes.size());
    for (int k = 0; k < 4; ++k) {
        header[1 + k] = static_cast<uint8_t>(time >> (8 * k));
        header[5 + k] = static_cast<uint8_t>(length >> (8 * k));
    }
    file_.write(header.data(), header.size());
    if (!bytes.empty()) file_.write(bytes.data(), bytes.size());
}

bool MkvStreamChoice::wants(const ScannedStream& stream, bool ownsSlot) const {
    if (only) return std::find(only->begin(), only->end(), stream.id) != only->end();
    const bool boxed = stream.kind->hasSlot && stream.slot < boxedSlots(stream.slotKind());
    return !(boxed && ownsSlot && untickedBoxes.ticked(stream.slotKind(), stream.slot));
}

struct MkvStreams::Open {
    StreamId id;
    bool video = false;
    std::unique_ptr<OutputFile> file;
    std::unique_ptr<PayloadSink> sink;
    TimedVideoSink* videoSink = nullptr;
};

MkvStreams::MkvStreams(std::string stem, MkvStreamChoice choice, int parts)
    : stem_(std::move(stem)), choice_(std::move(choice)), partCount_(parts) {}

MkvStreams::~MkvStreams() = default;

void MkvStreams::beginPart() {
    ++part_;
    for (const auto& open : open_) {
        if (open->video) {
            open->videoSink->timer = std::make_unique<PictureTimer>(works_.at(open->id).kind->format);
        }
    }
}

void MkvStreams::endPart(const PartScan& scan) {
    for (const ScannedStream& stream : scan.streams) {
        auto found = works_.find(stream.id);
        if (found != works_.end()) found->second.parts[static_cast<size_t>(part_)] = stream;
    }
    for (auto it = open_.begin(); it != open_.end();) {
        Open& open = **it;
        if (open.video) {
            StreamWork& work = works_.at(open.id);
            PictureTimer& timer = *open.videoSink->timer;
            timer.finish();
            const FramePeriod period =
                work.parts[static_cast<size_t>(part_)]
                    ? work.parts[static_cast<size_t>(part_)]->playPeriod()
                    : kFilmFramePeriod;
            work.pictureTimes[static_cast<size_t>(part_)] = timer.presentationTimes(period);
            work.timerFirstPts[static_cast<size_t>(part_)] = timer.firstPts();
            ++it;
            continue;
        }
        open.file->close();
        it = open_.erase(it);
    }
}

void MkvStreams::close() {
    for (const auto& open : open_)
        open->file->close();
    open_.clear();
}

StreamWork& MkvStreams::workOf(const ScannedStream& stream) {
    auto [it, made] = works_.try_emplace(stream.id);
    StreamWork& work = it->second;
    if (made) {
        work.id = stream.id;
        work.kind = stream.kind;
        work.slot = stream.slot;
        const size_t parts = static_cast<size_t>(partCount_);
        work.files.assign(stream.slotKind() == SlotKind::Video ? 1 : parts, std::string());
        work.parts.resize(parts);
        work.pictureTimes.resize(parts);
        work.timerFirstPts.resize(parts);
    }
    return work;
}

// "<stem>.vc1-55.vc1", "<stem>.eac3-C0.part2.eac3", "<stem>.sup-20.part1.records".
std::string MkvStreams::fileName(const StreamWork& work, int part) const {
    const std::string kind(workFileKindOf(work.kind->format).extension);
    std::string name = stem_ + "." + kind + "-" + hexId(work.id.id);
    if (work.slotKind() == SlotKind::Video) return name + "." + kind;
    return name + ".part" + std::to_string(part + 1) +
           (work.slotKind() == SlotKind::Subpicture ? ".records" : "." + kind);
}

PayloadSink* MkvStreams::open(const ScannedStream& stream, bool ownsSlot) {
    if (!choice_.wants(stream, ownsSlot)) return nullptr;
    StreamWork& work = workOf(stream);
    work.ownsSlot = work.ownsSlot || ownsSlot;
    for (const auto& open : open_) {
        if (open->id == stream.id) return open->sink.get();  // video met in an earlier part
    }
    auto open = std::make_unique<Open>();
    open->id = stream.id;
    open->video = stream.slotKind() == SlotKind::Video;
    const std::string path = fileName(work, part_);
    open->file = std::make_unique<OutputFile>(OutputFile::create(path));
    work.files[open->video ? 0 : static_cast<size_t>(part_)] = path;
    if (open->video) {
        auto sink = std::make_unique<TimedVideoSink>(*open->file);
        sink->timer = std::make_unique<PictureTimer>(stream.kind->format);
        open->videoSink = sink.get();
        open->sink = std::move(sink);
    } else if (stream.slotKind() == SlotKind::Subpicture) {
        open->sink = std::make_unique<PieceRecordSink>(*open->file);
    } else {
        open->sink = std::make_unique<ElementaryStreamSink>(*open->file);
    }
    open_.push_back(std::move(open));
    return open_.back()->sink.get();
}

StreamWork* MkvStreams::find(StreamId id) {
    auto found = works_.find(id);
    return found == works_.end() ? nullptr : &found->second;
}

// Video, audio, subpictures; by slot, slot owners of different kinds by identifier, MPEG
// audio (no slot of its own) after the audio with a slot.
std::vector<const StreamWork*> MkvStreams::streams() const {
    std::vector<const StreamWork*> all;
    for (const auto& [id, work] : works_)
        all.push_back(&work);
    std::stable_sort(all.begin(), all.end(), [](const StreamWork* a, const StreamWork* b) {
        const auto key = [](const StreamWork* w) {
            return std::tuple(static_cast<int>(w->slotKind()), !w->kind->hasSlot, w->slot,
                              static_cast<int>(w->id.carrier), w->id.id);
        };
        return key(a) < key(b);
    });
    return all;
}

}  // namespace morvale
