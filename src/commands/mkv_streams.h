// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/part_scan.h"
#include "engine/payload_handler.h"
#include "engine/picture_timing.h"
#include "platform/file.h"

namespace morvale {

// Which streams a Matroska file takes: exactly the streams named (the command line's
// --streams), or every stream met but those the window's boxes list and leave unticked.
struct MkvStreamChoice {
    std::optional<std::vector<StreamId>> only;
    SlotSelection untickedBoxes;  // a slot owner whose box is listed and not ticked stays out
    bool wants(const ScannedStream& stream, bool ownsSlot) const;
};

// The pieces of a stream as they came, each with its packet's first-piece flag and PTS: a
// header of 9 bytes (flags: 1 first of its packet, 2 with a PTS; the PTS and the length, 32
// bits little-endian), then the bytes. A subpicture stream is kept so until its layout and
// the timeline are known.
inline constexpr size_t kPieceRecordHeader = 9;
class PieceRecordSink final : public PayloadSink {
  public:
    explicit PieceRecordSink(OutputFile& file) : file_(file) {}
    void take(std::span<const uint8_t> bytes, bool first, std::optional<uint32_t> pts) override;

  private:
    OutputFile& file_;
};

// One stream's work files over the parts of a feature: video in one file over all parts,
// with the presentation time of each picture per part; audio and subpictures in a file per
// part (subpictures as piece records); and what the engine found of it per part.
struct StreamWork {
    StreamId id;
    const StreamKind* kind = nullptr;
    int slot = 0;
    bool ownsSlot = false;  // it owned its slot in a part: the playlist's track of the slot
    std::vector<std::string> files;  // video: one; audio, subpictures: per part ("" for none)
    std::vector<std::optional<ScannedStream>> parts;  // per part, what the scan of it found
    std::vector<std::vector<int64_t>> pictureTimes;   // video, per part (from firstPts)
    std::vector<std::optional<uint32_t>> timerFirstPts;
    SlotKind slotKind() const { return kind->slotKind; }
};

// The router of a Matroska run's demux: every wanted stream gets its work files in the work
// folder (names of the program's own choosing: the stem, the stream's kind and id, the part),
// created when the stream is first met. Lives over all parts; the files of a part close at
// its end, the video files at the end of the last.
class MkvStreams final : public StreamRouter {
  public:
    MkvStreams(std::string stem, MkvStreamChoice choice, int parts);
    ~MkvStreams() override;

    // Before each part, in order; after it, with what the engine found in it.
    void beginPart();
    void endPart(const PartScan& scan);
    // After the last part: every file closed. Throws FileError.
    void close();

    PayloadSink* open(const ScannedStream& stream, bool ownsSlot) override;

    // In the order of the streams' kinds and slots (video, audio, subpictures).
    std::vector<const StreamWork*> streams() const;
    StreamWork* find(StreamId id);
    int part() const { return part_; }

  private:
    struct Open;
    StreamWork& workOf(const ScannedStream& stream);
    std::string fileName(const StreamWork& work, int part) const;

    std::string stem_;
    MkvStreamChoice choice_;
    int partCount_;
    int part_ = -1;
    std::map<StreamId, StreamWork> works_;
    std::vector<std::unique_ptr<Open>> open_;  // the outputs of the current part and video
};

}  // namespace morvale
