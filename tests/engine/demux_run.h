// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <memory>
#include <string>

#include "support/engine_ledger.h"
#include "engine/demux.h"
#include "support/program_stream_builder.h"
#include "support/engine_ledger.h"
#include "support/recording_engine_host.h"
#include "support/temp_dir.h"

namespace morvale::testing {

// A Demux as the command runs it: the source written to a file, one output per ticked box
// created before the call and closed after it.
class DemuxRun {
  public:
    TempDir dir;
    EngineLedger state;
    RecordingEngineHost host;

    explicit DemuxRun(uint32_t minFirstPts = 0) { state.minFirstPts = minFirstPts; }

    void run(const Bytes& source, EngineMode mode = EngineMode::Demux) {
        writeSparseFile(dir.file("source.evo"), source.size(), {{0, source}});
        runFile(dir.file("source.evo"), mode);
    }

    void runFile(const std::string& path, EngineMode mode = EngineMode::Demux) {
        BoxSinks sinks(state.minFirstPts);
        for (int k = 0; k < 2; ++k)
            create(host.videoTicks[k], video_[k], sinks, SlotKind::Video, "v", k);
        for (int k = 0; k < 16; ++k)
            create(host.audioTicks[k], audio_[k], sinks, SlotKind::Audio, "a", k);
        for (int k = 0; k < 16; ++k)
            create(host.subpictureTicks[k], sub_[k], sinks, SlotKind::Subpicture, "s", k);
        SourceFile source = SourceFile::open(path, ShareMode::Exclusive);
        demux(state, host, source, mode, &sinks.outputs());
        closeAll();
    }

    // What an output received; empty when its box was not ticked.
    Bytes video(int slot) const { return read("v", slot); }
    Bytes audio(int slot) const { return read("a", slot); }
    Bytes subpicture(int slot) const { return read("s", slot); }

  private:
    void create(bool ticked, std::unique_ptr<OutputFile>& file, BoxSinks& sinks, SlotKind kind,
                const char* prefix, int k) {
        if (!ticked) return;
        file = std::make_unique<OutputFile>(OutputFile::create(name(prefix, k)));
        sinks.set(kind, k, *file);
    }

    void closeAll() {
        for (auto& f : video_)
            if (f) f->close();
        for (auto& f : audio_)
            if (f) f->close();
        for (auto& f : sub_)
            if (f) f->close();
    }

    std::string name(const char* prefix, int k) const {
        return dir.file(std::string(prefix) + std::to_string(k));
    }

    Bytes read(const char* prefix, int k) const {
        const std::string path = name(prefix, k);
        return fileExists(path) ? readFileBytes(path) : Bytes{};
    }

    std::array<std::unique_ptr<OutputFile>, 2> video_;
    std::array<std::unique_ptr<OutputFile>, 16> audio_;
    std::array<std::unique_ptr<OutputFile>, 16> sub_;
};

}  // namespace morvale::testing
