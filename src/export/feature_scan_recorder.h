// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/part_scan.h"
#include "export/feature_description.h"
#include "reports/lpcm_format.h"

namespace morvale {

// Collects what the engine leaves after each run over a part of a feature (the streams its
// slots hold, their presentation times, the pictures counted, the LPCM format bytes) into
// the scan side of the feature description.
class FeatureScanRecorder {
  public:
    // Call after each run of the engine, in the order of the parts (the counts add up over
    // the parts).
    void addPart(const std::string& path, const PartScan& part);

    const FeatureScan& scan() const { return scan_; }
    // The format of an LPCM stream as its first part's header gives it, in the layout of
    // the source (HD DVD for an EVO, DVD otherwise).
    std::optional<LpcmFormat> lpcmFormat(const ScanStream& stream) const;
    LpcmLayout lpcmLayout() const { return layout_; }

  private:
    ScanStream& streamFor(ScanStreamKind kind, int slot, int id);
    void addSlot(ScanStreamKind kind, int slot, int32_t id, const ScannedStream* scanned);
    void addLpcmFormat(int slot, int32_t id, const ScannedStream* scanned);

    FeatureScan scan_;
    std::vector<LpcmHeaderBytes> lpcmHeaders_;  // by position in scan_.streams
    std::vector<bool> lpcmKnown_;
    LpcmLayout layout_ = LpcmLayout::Dvd;
};

// How long a video stream's part plays: from its earliest to its latest presentation time
// and one frame period more.
int64_t videoPartDurationTicks(const ScanPartTimes& part, FramePeriod period);

}  // namespace morvale
