// SPDX-License-Identifier: MIT
#pragma once

// The disc's titles as lines for a terminal or a log, the content of `morvale-cli titles`.

#include <cstdint>
#include <string>
#include <vector>

#include "export/disc_titles.h"

namespace morvale {

// "1:59:00.000": hours, minutes, seconds and milliseconds (rounded down) of a length.
std::string listedDuration(int64_t ns);

// The listing, names and texts on one line each (singleLineText). An HD DVD:
//   Playlist /disc/ADV_OBJ/VPLST000.XPL "Disc": 3 titles, EVOs in /disc/HVDVD_TS/
//   Title 1 "Feature": 1:59:07.140, 3 clips: FEATURE_1.EVO FEATURE_2.EVO FEATURE_3.EVO (likely
//   feature)
//     Audio: DD+ 6ch en "English", DD 2ch de "Deutsch"
//     Subtitles: en "English"
//     Chapters: 12
//     Missing: FEATURE_3.EVO
//     Note: Title 1 "Feature", chapter 3 "Tones": time "00:00:03:30" is no ...
// A title is numbered by its titleNumber, or by its place when it has none; a duration that
// is not known reads "duration unknown", a track without language "und", and "Audio: none",
// "Subtitles: none" stand for a title without such tracks. A DVD:
//   DVD /disc/VIDEO_TS/: 2 title sets
//   Title set 1: 2 parts: VTS_01_1.VOB VTS_01_2.VOB, 2147483648 bytes (likely feature)
//     Missing: VTS_01_0.IFO, VTS_01_2.VOB
// A disc that could not be read gives one line: "No titles: <why>".
std::vector<std::string> discTitleLines(const DiscTitles& disc);

}  // namespace morvale
