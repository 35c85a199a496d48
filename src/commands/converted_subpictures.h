// SPDX-License-Identifier: MIT
#pragma once

// Demux's subpicture boxes as PGS (.sup) or VobSub (.idx and .sub) in place of subpicture
// records: each box's payload converted as it comes, its times on the records' timeline
// (the scan's time base is zero), so that the events line up with the demuxed video and
// audio.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "commands/command_host.h"
#include "commands/command_settings.h"
#include "commands/feature_files.h"
#include "commands/session.h"
#include "engine/payload_sink.h"
#include "platform/file.h"
#include "subtitles/dvd_palette.h"

namespace morvale {

// What the converted boxes of one Demux share.
struct SubpictureConversionSetup {
    SubpictureFormat format = SubpictureFormat::Pgs;
    // The records' time base on the units' timeline: output time zero.
    int64_t timelineZero = 0;
    // The scan's video frame size; 0 x 0 when no video header gave one.
    uint32_t videoWidth = 0;
    uint32_t videoHeight = 0;
    // The colours of DVD-layout units: from the title set's IFO beside a VOB source, or
    // the default palette, and what the log says when it is the default.
    DvdPalette dvdPalette = defaultDvdPalette();
    std::string defaultPaletteNote;  // empty: the IFO's palette
};

// The time base of the last scan becomes output time zero; a scan that met no audio or
// video timestamp left it at 0xFFFFFFFF, which the records take as -1 modulo 2^32, and so
// do the conversions.
int64_t subpictureTimelineZero(uint32_t timeBase);

// "VTS_nn_0.IFO" beside a source named "VTS_nn_m.VOB" (either letter case, kept), else
// nullopt.
std::optional<std::string> titleSetIfoBeside(const std::string& source);

// The palette for DVD-layout units of `source`: the IFO's, or the default with the reason.
// An IFO that cannot be read or holds no palette leaves the default.
DvdPaletteChoice dvdPaletteFor(const std::string& source, std::string& note);

SubpictureConversionSetup subpictureConversionSetup(const CommandSettings& settings,
                                                    const LastScan& scan);

// A converted box: its payload goes in piece by piece, and the end of the run finishes its
// files and logs what did not go into them.
class ConvertedSubpictures : public PayloadSink {
  public:
    // `end` (90 kHz, the units' timeline): where the last event without a stop is cleared.
    virtual void finish(std::optional<int64_t> end, CommandHost& host) = 0;
};

// The files a converted box writes, in the order they are created: "<name base>.<extension>"
// for PGS, "<name base>.idx" and "<name base>.sub" for VobSub.
std::vector<std::string> convertedSubpictureNames(SubpictureFormat format,
                                                  const std::string& nameBase,
                                                  const std::string& extension);

// The conversion of one box into `files` (as convertedSubpictureNames lists them); `caption`
// names the box in the log lines.
std::unique_ptr<ConvertedSubpictures> convertSubpictures(const SubpictureConversionSetup& setup,
                                                         std::span<OutputFile* const> files,
                                                         const std::string& caption);

// The end of a demux's video on the units' timeline: one frame period after the latest
// picture of the first video stream of the last part; nullopt without video times.
std::optional<int64_t> videoEndOf(const std::vector<ScannedPart>& parts);

}  // namespace morvale
