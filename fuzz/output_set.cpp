// SPDX-License-Identifier: MIT
#include "output_set.h"

namespace morvale::fuzzing {

namespace {
constexpr int64_t kRecreateAfter = 16 << 20;
}

void OutputChannel::begin() {
    if (!out_ || out_->bytesWritten() > kRecreateAfter) {
        out_.reset();  // closed before the new output empties the file
        out_ = std::make_unique<OutputFile>(OutputFile::create(memory_.path()));
    }
    mark_ = out_->bytesWritten();
}

Bytes OutputChannel::collect() {
    out_->flush();
    return memory_.read(static_cast<uint64_t>(mark_), static_cast<uint64_t>(out_->bytesWritten()));
}

void OutputSet::begin() {
    for (OutputChannel& channel : channels_)
        channel.begin();
}

DemuxOutputs OutputSet::outputs(uint32_t subpictureTimeBase) {
    DemuxOutputs outputs;
    sinks_.clear();
    size_t k = 0;
    for (PayloadSink*& out : outputs.video)
        out = sinks_.emplace_back(std::make_unique<ElementaryStreamSink>(channels_[k++].file())).get();
    for (PayloadSink*& out : outputs.audio)
        out = sinks_.emplace_back(std::make_unique<ElementaryStreamSink>(channels_[k++].file())).get();
    for (PayloadSink*& out : outputs.subpicture) {
        out = sinks_
                  .emplace_back(std::make_unique<SubpictureRecordSink>(channels_[k++].file(),
                                                                       subpictureTimeBase))
                  .get();
    }
    return outputs;
}

std::vector<Bytes> OutputSet::collect() {
    std::vector<Bytes> taken;
    taken.reserve(kCount);
    for (OutputChannel& channel : channels_)
        taken.push_back(channel.collect());
    return taken;
}

}  // namespace morvale::fuzzing
