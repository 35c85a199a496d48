// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "playlist/codec_tables.h"

namespace morvale {

enum class TrackKind { Video, Audio, Subtitle };

// A track the title lists: announced in the log with " found!" and, when it has a box,
// ticked and captioned there (audio and subtitle boxes also take the text as their hint).
struct ListedTrack {
    TrackKind kind;
    std::string text;  // "VC-1.stream.0", "DD+.6ch.stream.01.English"
    int box = -1;      // cbVideo0 / cbAudio00..15 / cbSub00..15 by index; -1 for none
};

// The playlist tree's five top nodes and their children, and the tracks in the order the
// title lists them. Texts are the playlist's own bytes (shown as utf8OrLatin1 reads them).
struct TitleListing {
    std::vector<std::string> info;
    std::vector<std::string> video;
    std::vector<std::string> audio;
    std::vector<std::string> subtitle;
    std::vector<std::string> chapter;
    std::vector<ListedTrack> tracks;
};

// Marks of the tracks already listed: -1 for none, 1 once listed. Track n (1-based) has
// entry n-1; tracks beyond the tables are never marked.
struct TrackMarks {
    std::span<int32_t> video;
    std::span<int32_t> audio;
    std::span<int32_t> subtitle;
};

// The marks Read XPL keeps: 16 video and audio tracks, 32 subtitle tracks.
struct TrackMarkTables {
    TrackMarkTables() { clear(); }
    void clear() {
        video.fill(-1);
        audio.fill(-1);
        subtitle.fill(-1);
    }
    TrackMarks spans() { return {video, audio, subtitle}; }

    std::array<int32_t, 16> video;
    std::array<int32_t, 16> audio;
    std::array<int32_t, 32> subtitle;
};

// Reads the title's outline lines (as left by selectTitle) into tree items and tracks.
// Every line is tested for "<TITLE ", "<VIDEO ", "<AUDIO ", "<SUBTITLE " and "<CHAPTER " in
// any letter case; one line may match several.
TitleListing listTitle(const std::vector<std::string>& lines, std::string_view playlistName,
                       const XplCodecTables& codecs, TrackMarks marks);

// A slot number as the stream texts show it: two digits from 0 to 9 ("01"), plain otherwise.
std::string twoDigitSlot(int64_t slot);

}  // namespace morvale
