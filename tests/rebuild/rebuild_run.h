// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "support/engine_ledger.h"
#include "rebuild/rebuild.h"
#include "support/program_stream_builder.h"
#include "support/recording_engine_host.h"
#include "support/temp_dir.h"

namespace morvale::testing {

// One Rebuild call as the command makes it: the source written to a real file and opened
// exclusively, the output created, closed after the call and read back.
class RebuildRun {
  public:
    TempDir dir;
    EngineLedger state;
    RecordingEngineHost host;
    RebuildNumbering numbering;

    // Lists ids in the identifier tables as a scan would have, and ticks or unticks their box.
    void video(int slot, int id, bool ticked) {
        state.videoStreamIds[slot] = id;
        host.videoTicks[slot] = ticked;
    }
    void audio(int slot, int id, bool ticked) {
        state.audioStreamIds[slot] = id;
        host.audioTicks[slot] = ticked;
    }
    void subpicture(int slot, int id, bool ticked) {
        state.subpictureStreamIds[slot] = id;
        host.subpictureTicks[slot] = ticked;
    }

    Bytes run(const Bytes& source, const std::string& name = "source.evo") {
        writeFileBytes(dir.file(name), source);
        return runFile(dir.file(name));
    }

    // Rebuilds the file into out.evo; the output is closed and read back also when Rebuild
    // throws (the exception is passed on).
    Bytes runFile(const std::string& path) {
        SourceFile source = SourceFile::open(path, ShareMode::Exclusive);
        OutputFile output = OutputFile::create(dir.file("out.evo"));
        Rebuild(state, host, source, output, numbering);
        endPosition = source.position();
        output.close();
        return readFileBytes(dir.file("out.evo"));
    }

    Bytes output() const { return readFileBytes(dir.file("out.evo")); }

    int64_t endPosition = -1;
};

}  // namespace morvale::testing
