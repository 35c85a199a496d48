// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include "commands/command_host.h"
#include "commands/mkv_feature.h"
#include "commands/mkv_streams.h"
#include "export/mkv_timeline.h"
#include "export/mkvmerge_options.h"

namespace morvale {

// The Matroska file's tracks, and the files the hand-off made or handed on: every work
// stream as a track (video with its pictures' timestamp file, audio per part with its sync,
// LPCM as WAV, subpictures as PGS or VobSub), in the order of the streams, named and
// labelled from the playlist title where it knows the stream.
struct MkvTracks {
    std::vector<MkvTrackInput> tracks;
    std::vector<const StreamWork*> streams;  // the stream of each track
    std::vector<std::string> files;          // what mkvmerge reads and the hand-off wrote
};

// "Stream 0xC0", as the log names a stream.
std::string streamName(const StreamWork& work);

// Where the parts of the feature lie on the Matroska file's timeline, by their first video
// stream's pictures (or without video their earliest stream).
Timeline timelineOf(const MkvStreams& streams, size_t parts);

// Makes the tracks. Logs what it converts and what it cuts at the joins. Throws FileError.
MkvTracks makeTracks(MkvStreams& streams, const MkvFeature& feature, const std::string& stem,
                     CommandHost& host);

// The subtitle track of a subpicture stream: its units in PGS (HD DVD units) or VobSub (DVD
// units), as the first unit's layout says, at their times on the timeline. Logs the units it
// leaves out and the palette it takes. False when the stream held no unit. Throws FileError.
struct SubtitleCanvas {
    int width = 1920;
    int height = 1080;
};
bool makeSubtitleTrack(const StreamWork& work, const Timeline& timeline, const MkvFeature& feature,
                       const SubtitleCanvas& canvas, const std::string& stem, MkvTrackInput& track,
                       MkvTracks& made, CommandHost& host);

}  // namespace morvale
