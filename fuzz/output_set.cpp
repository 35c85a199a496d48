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

DemuxOutputs OutputSet::outputs() {
    DemuxOutputs outputs;
    size_t k = 0;
    for (OutputFile*& out : outputs.video)
        out = &channels_[k++].file();
    for (OutputFile*& out : outputs.audio)
        out = &channels_[k++].file();
    for (OutputFile*& out : outputs.subpicture)
        out = &channels_[k++].file();
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
