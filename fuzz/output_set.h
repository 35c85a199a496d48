// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/payload_handler.h"
#include "fuzz_support.h"
#include "platform/file.h"

namespace morvale::fuzzing {

// A real OutputFile on a memory file that stays open from one input to the next (creating
// an output with its 1 MiB buffer for every input would dominate the run) and is created
// afresh once it has grown large.
class OutputChannel {
  public:
    // Starts a new input: what the output takes from here on is this input's.
    void begin();
    OutputFile& file() { return *out_; }
    // What the output took since begin().
    Bytes collect();

  private:
    MemoryFile memory_;
    std::unique_ptr<OutputFile> out_;
    int64_t mark_ = 0;
};

// One output per slot that has a tick box: video 0-1, audio 0-15, subpicture 0-15.
class OutputSet {
  public:
    static constexpr size_t kCount = kVideoSlots + kAudioSlots + kSubpictureOutputSlots;

    void begin();
    // The outputs as a Demux makes them, subpicture records against the time base.
    DemuxOutputs outputs(uint32_t subpictureTimeBase);
    // What each output took since begin(), in the order video, audio, subpicture.
    std::vector<Bytes> collect();

  private:
    std::array<OutputChannel, kCount> channels_;
    std::vector<std::unique_ptr<PayloadSink>> sinks_;
};

}  // namespace morvale::fuzzing
