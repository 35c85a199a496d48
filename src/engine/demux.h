// SPDX-License-Identifier: MIT
#pragma once

#include "engine/engine_host.h"
#include "engine/engine_types.h"
#include "engine/part_scan.h"
#include "engine/payload_handler.h"
#include "engine/progress.h"
#include "engine/run_control.h"
#include "platform/file.h"

namespace morvale {

inline constexpr int kBlockSize = 0x40000;               // 262,144 bytes per read
inline constexpr int64_t kFastCheckLimit = 300000000;  // bytes read by a fast-checking scan

// Reads the source from its current position to its end in blocks of kBlockSize and parses
// it as a program stream. A Scan identifies the streams (logging each, the "It contains"
// line of the first system header, and with "Detailed info" the first timestamps and header
// reports) and counts pictures; a Demux appends the payload of the slots that have an output
// to them. Both return what they found, show progress every 4 MiB (when a Cancel click is
// seen) and stop at the block boundary after a cancel is requested.
//
// File errors propagate as FileError: a failed or empty read before the end of the file
// ("Stream read error") and a failed write ("Stream write error") end the call at once,
// without its end-of-call actions (Cancel stays enabled).
PartScan demux(EngineHost& host, RunControl& control, SourceFile& source,
               const EngineOptions& options, const DemuxOutputs* outputs = nullptr,
               const ReportSet& reports = ReportSet{});

}  // namespace morvale
