#pragma once

// The hand-off to mkvmerge: one Matroska file from the feature's elementary streams, with
// the title, the track names, languages and default flags, the chapters, and per file the
// --sync that puts it at its own place on the feature's timeline.
//
// mkvmerge gives a raw elementary stream timestamps from its own content, starting at 0, and
// starts a file appended with "+" where the previous file of that track ended. So every
// file's --sync is the distance from that natural place to where its first timestamp says it
// belongs: in the first part against the part's earliest stream, in each later part against
// where the reference stream (the first video) of the part before ended. A part's audio so
// lands at its own timestamps relative to its part's video, not where the previous part's
// audio ended.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvale {

struct MkvPartInput {
    std::string path;  // empty: the stream has no file in this part
    std::optional<uint32_t> firstPts;
    int64_t durationTicks = 0;  // how long the file plays, in 90 kHz units
};

struct MkvTrackInput {
    std::string name;  // empty: no track name
    std::string language = "und";
    bool isDefault = false;
    bool isVideo = false;
    std::vector<MkvPartInput> parts;  // one per part of the feature
};

struct MkvJob {
    std::string output;
    std::string title;         // segment title; empty: none
    std::string chaptersPath;  // empty: no chapters
    std::vector<MkvTrackInput> tracks;
};

// Per track and part, the --sync of its file in milliseconds (nothing where there is no file).
std::vector<std::vector<std::optional<int64_t>>> planSync(const MkvJob& job);

// mkvmerge's arguments for the job, without the program name: --output, --title,
// --chapters, then per track its options and files, later parts appended with "+" and an
// explicit --append-to map.
std::vector<std::string> mkvmergeArguments(const MkvJob& job);

// The arguments as mkvmerge's JSON options file (read with "mkvmerge @file.json").
std::string mkvmergeOptionsFile(const std::vector<std::string>& arguments);

}  // namespace morvale
