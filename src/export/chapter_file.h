// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/feature_description.h"

namespace morvale {

enum class ChapterFormat {
    MatroskaXml,  // .xml: Matroska XML chapters, one edition
    OgmText,      // .txt: CHAPTER01=HH:MM:SS.mmm / CHAPTER01NAME=...
};

// By the file's extension in any letter case; nothing for any other extension.
std::optional<ChapterFormat> chapterFormatOf(std::string_view path);

// The chapters in the format, as valid UTF-8 text. Matroska chapters keep the exact start
// time in nanoseconds; simple chapters have milliseconds. Names are written as single-line
// text (singleLineText): a line break or other control character in a name becomes a blank,
// so it cannot start a line of its own in a simple chapter file, and the XML stays
// well-formed (XML 1.0 allows no control characters but tab and line ends).
std::string chapterText(const std::vector<DescribedChapter>& chapters, ChapterFormat format);

// Writes the chapter file. Throws FileError when it cannot be created or written.
void writeChapterFile(const std::string& path, const std::vector<DescribedChapter>& chapters,
                      ChapterFormat format);

}  // namespace morvale
