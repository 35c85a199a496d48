// SPDX-License-Identifier: MIT
#include "export/chapter_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include "export/mkvmerge_options.h"
#include "support/matroska_peers.h"
#include "support/peer_tools.h"
#include "support/temp_dir.h"

namespace morvale {
namespace {

using testing::quoted;

// mkvextract's simple chapters (CHAPTERnn=HH:MM:SS.mmm, CHAPTERnnNAME=...) of a Matroska file.
std::vector<std::string> extractedChapters(const std::string& mkv) {
    return testing::shellLines("mkvextract " + quoted(mkv) + " chapters -s -");
}

TEST(ChapterFileTest, MkvmergeReadsBothFormatsWithEveryNameAndTime) {
    if (!testing::haveMatroskaPeers()) GTEST_SKIP() << "mkvmerge or ffmpeg missing";
    // 24 frames per second: 00:00:03:00 and 00:01:02:12; one name in need of escaping.
    const std::vector<DescribedChapter> chapters = {
        {"Opening", "00:00:00:00", 0, 0},
        {"Tones & <Scales>", "00:00:03:00", 3000, 3'000'000'000},
        {"Zw\xC3\xB6lf \"Uhr\"", "00:01:02:12", 62500, 62'500'000'000},
        // A line break must not start a chapter line of its own, a control character must not
        // break the XML, and Latin-1 bytes are no UTF-8.
        {"Four\r\nCHAPTER09=00:00:09.000\x01 Fran\xE7\x61is", "00:01:05:00", 65065, 65'065'000'000},
    };
    const std::vector<std::string> expected = {
        "CHAPTER01=00:00:00.000", "CHAPTER01NAME=Opening",
        "CHAPTER02=00:00:03.000", "CHAPTER02NAME=Tones & <Scales>",
        "CHAPTER03=00:01:02.500", "CHAPTER03NAME=Zw\xC3\xB6lf \"Uhr\"",
        "CHAPTER04=00:01:05.065", "CHAPTER04NAME=Four CHAPTER09=00:00:09.000 Fran\xC3\xA7\x61is",
    };
    testing::TempDir dir;
    testing::makeAc3Audio(dir.file("a.ac3"), 5);
    for (const char* name : {"chapters.xml", "chapters.txt", "CHAPTERS.XML"}) {
        const std::optional<ChapterFormat> format = chapterFormatOf(name);
        ASSERT_TRUE(format) << name;
        writeChapterFile(dir.file(name), chapters, *format);
        MkvJob job;
        job.output = dir.file(std::string(name) + ".mkv");
        job.chaptersPath = dir.file(name);
        job.tracks = {{MkvTrackType::Audio, "", "und", true, false, "", {{dir.file("a.ac3"), 0}}}};
        const std::string options = dir.file("options.json");
        testing::writeFileBytes(options, {});
        std::ofstream(options) << mkvmergeOptionsFile(mkvmergeArguments(job));
        const auto run = testing::runMkvmerge(options);
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(extractedChapters(job.output), expected) << name;
        const nlohmann::json id = testing::mkvmergeIdentify(job.output);
        EXPECT_EQ(id["chapters"][0]["num_entries"], 4) << name;
    }
    for (const char* name : {"chapters", "chapters.xml.bak", "c.ogm"}) {
        EXPECT_FALSE(chapterFormatOf(name)) << name;
    }
}

}  // namespace
}  // namespace morvale
