#pragma once

#include <string>
#include <vector>

#include "commands/command_host.h"
#include "commands/command_settings.h"
#include "commands/mkv_command.h"
#include "commands/session.h"
#include "engine/engine_host.h"
#include "export/feature_scan_recorder.h"
#include "platform/file.h"

namespace morvale {

// Where a Make MKV works: the Matroska file, the work folder beside it and the stem of the
// work files (the work folder and the Matroska file's name without ".mkv").
struct MkvLayout {
    std::string output;
    std::string work;  // ends in "/"
    std::string stem;
};
MkvLayout mkvLayoutOf(const CommandSettings& settings, const MkvOptions& options);

// The chosen streams of each part of the feature, demuxed into work files of their own, and
// what the engine found in each part.
class WorkStreams {
  public:
    // Creates the work folder and demuxes every part into it. Throws FileError.
    void demux(Session& session, const CommandSettings& settings, CommandHost& host,
               const MkvLayout& layout);

    const FeatureScanRecorder& recorder() const { return recorder_; }
    // The stream's work file in each part (empty where the part gave it none); nullptr for a
    // stream of no chosen box.
    std::vector<std::string>* filesOf(const ScanStream& stream);
    // The caption of the stream's box.
    std::string captionOf(const ScanStream& stream) const;

  private:
    void demuxPart(Session& session, const CommandSettings& settings, EngineHost& host,
                   SourceFile& source);
    int boxIndexOf(const ScanStream& stream) const;

    MkvLayout layout_;
    std::vector<ChosenBox> boxes_;
    std::vector<std::string> extensions_;          // per box: by the kind the scan found
    std::vector<std::vector<std::string>> files_;  // per box, per part
    FeatureScanRecorder recorder_;
    int parts_ = 0;
};

}  // namespace morvale
