// SPDX-License-Identifier: MIT
#include "engine/demux.h"

#include <memory>
#include <string>

#include "engine/pack_layout.h"
#include "engine/progress.h"
#include "engine/stream_parser.h"
#include "platform/clock.h"

namespace morvale {

namespace {

void showProgress(EngineHost& host, SourceFile& source, double startTime,
                  const std::optional<RunProgress>& run) {
    const int64_t position = (run ? run->before : 0) + source.position();
    const int64_t size = run ? run->total : source.size();
    const double start = run ? run->startDays : startTime;
    host.progress(progressText(position, size, start, host.clock()), megabytesRead(position, size));
    host.pumpEvents();
}

// An ISO/IEC 11172-1 pack header is two bytes shorter than an MPEG-2 one: its system header,
// and so the bounds, lie two bytes earlier.
int systemHeaderShift(const uint8_t* block) {
    constexpr int kMpeg1PackHeaderShorterBy = 2;
    const bool mpeg1Pack = block[0] == 0x00 && block[1] == 0x00 && block[2] == 0x01 &&
                           block[3] == kPackStartCode && (block[4] & 0xF0) == 0x20;
    return mpeg1Pack ? kMpeg1PackHeaderShorterBy : 0;
}

// The stream bounds of a system header directly behind the first pack header of the file.
void reportSystemHeader(EngineHost& host, const uint8_t* block) {
    const int shift = systemHeaderShift(block);
    if (block[kFirstStreamIdOffset - shift - 1] != 0x01 ||
        block[kFirstStreamIdOffset - shift] != kSystemHeaderStartCode) {
        return;
    }
    const int video = block[kVideoBoundOffset - shift] & 0x1F;
    const int audio = (block[kAudioBoundOffset - shift] >> 2) & 0x3F;
    host.log("It contains " + std::to_string(video) + " video stream" + (video > 1 ? "s" : "") +
             " and " + std::to_string(audio) + " audio stream" + (audio > 1 ? "s." : "."));
}

}  // namespace

PartScan demux(EngineHost& host, RunControl& control, SourceFile& source,
               const EngineOptions& options, const DemuxOutputs* outputs,
               const ReportSet& reports) {
    host.setCancelEnabled(true);
    control.start(options.mode == EngineMode::Demux);
    const double startTime = host.clock().now();
    PartScan scan;
    PayloadHandler payload(scan, host, options, outputs, reports);
    StreamParser parser(scan.slotTable, host, options, payload);
    const auto blockBuffer = std::make_unique<uint8_t[]>(kBlockSize);
    const int64_t start = source.position();

    while (source.position() < source.size() && !control.cancelRequested) {
        const int64_t before = source.position();
        // The block where the file layer holds it (read ahead), or read into the block buffer.
        const std::span<const uint8_t> block = source.readSomeInPlace(blockBuffer.get(), kBlockSize);
        const int64_t position = source.position();
        if (crossedMultiple(before, position, kProgressInterval)) {
            if (outputs != nullptr) checkOutputWrites();  // a write that failed behind
            showProgress(host, source, startTime, options.runProgress);
        }
        if (options.mode == EngineMode::Scan && options.fastCheck && position > kFastCheckLimit) {
            control.cancelRequested = true;  // this block is still parsed
        }
        if (crossedMultiple(before, position, kRepaintInterval)) host.repaint();
        if (options.mode == EngineMode::Scan && position == kBlockSize) {
            reportSystemHeader(host, block.data());
        }
        parser.feed(block);
    }
    // Every write of this file done before the command goes on (to the next part or its end).
    if (outputs != nullptr) finishOutputWrites();
    // Counts of an interrupted pass (Cancel or the fast-check limit) are never shown.
    scan.interrupted = control.cancelRequested;
    scan.bytesRead = source.position() - start;
    host.setCancelEnabled(false);
    return scan;
}

}  // namespace morvale
