// SPDX-License-Identifier: MIT
#pragma once

// The hand-off to mkvmerge: one Matroska file from the feature's work streams, with the
// title, the tracks' names, languages, default and forced flags, the chapters. A video track
// is one elementary stream over all parts with a timestamp file that gives every picture its
// presentation time; an audio track is a file per part, each appended to the one before with
// its --sync (export/mkv_timeline.h); a subtitle track is one PGS or VobSub file over all parts
// with its times on the output timeline already.

#include <cstdint>
#include <string>
#include <vector>

namespace morvale {

enum class MkvTrackType { Video, Audio, Subtitle };

struct MkvFile {
    std::string path;
    int64_t syncMs = 0;
};

struct MkvTrackInput {
    MkvTrackType type = MkvTrackType::Audio;
    std::string name;  // empty: no track name
    std::string language = "und";
    bool isDefault = false;
    bool forced = false;
    std::string timestampsPath;  // video: the pictures' times (mkvmerge's timestamp format v4)
    std::vector<MkvFile> files;  // in order; the later ones appended to the first
};

struct MkvJob {
    std::string output;
    std::string title;         // segment title; empty: none
    std::string chaptersPath;  // empty: no chapters
    std::vector<MkvTrackInput> tracks;
};

// mkvmerge's arguments for the job, without the program name: --output, --title,
// --chapters, then per track its options and files, later files appended with "+" and an
// explicit --append-to map.
std::vector<std::string> mkvmergeArguments(const MkvJob& job);

// The arguments as mkvmerge's JSON options file (read with "mkvmerge @file.json").
std::string mkvmergeOptionsFile(const std::vector<std::string>& arguments);

// A timestamp file in mkvmerge's format v4 (the order of decoding, which B pictures leave
// unsorted): the header line and one time per picture in milliseconds, from 90 kHz ticks.
std::string timestampFileText(const std::vector<int64_t>& ticks);

}  // namespace morvale
