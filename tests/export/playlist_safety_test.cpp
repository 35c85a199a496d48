// SPDX-License-Identifier: MIT
// The playlist read as data: any depth, a bounded size, valid UTF-8 whatever the bytes, and
// time codes that are valid or said to be left out.

#include <gtest/gtest.h>

#include "export/chapter_file.h"
#include "export/feature_description.h"
#include "export/playlist_model.h"
#include "playlist/playlist_text.h"
#include "support/program_stream_builder.h"
#include "support/temp_dir.h"

namespace morvale {
namespace {

std::span<const uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string repeated(std::string_view part, size_t times) {
    std::string text;
    text.reserve(part.size() * times);
    for (size_t i = 0; i < times; ++i)
        text += part;
    return text;
}

// A playlist of one title with the given chapters (titleTimeBegin, displayName) at `timeBase`.
std::string chapterPlaylist(const char* timeBase,
                            const std::vector<std::pair<std::string, std::string>>& chapters) {
    std::string xpl = std::string("<Playlist><TitleSet timeBase=\"") + timeBase +
                      "\"><Title titleNumber=\"4\" displayName=\"Main\">"
                      "<PrimaryAudioVideoClip src=\"FEATURE_1.MAP\"/><ChapterList>";
    for (const auto& [time, name] : chapters)
        xpl += "<Chapter titleTimeBegin=\"" + time + "\" displayName=\"" + name + "\"/>";
    return xpl + "</ChapterList></Title></TitleSet></Playlist>";
}

TEST(PlaylistSafetyTest, NestingOfAnyDepthIsReadWithoutRecursion) {
    for (size_t depth : {size_t{50'000}, size_t{400'000}}) {
        const std::string xpl =
            "<Playlist><TitleSet timeBase=\"24fps\"><Title displayName=\"Deep\">" +
            repeated("<Group>", depth) +
            "<PrimaryAudioVideoClip src=\"FEATURE_1.MAP\"><Audio streamNumber=\"2\"/>"
            "</PrimaryAudioVideoClip>" +
            repeated("</Group>", depth) + "</Title></TitleSet></Playlist>";
        const PlaylistReading reading = readPlaylistModel(bytesOf(xpl), "FEATURE_1");
        ASSERT_TRUE(reading.model) << reading.error;
        ASSERT_EQ(reading.model->titles.size(), 1u) << depth;
        const PlaylistTitle& title = reading.model->titles[0];
        EXPECT_EQ(reading.model->chosenTitle, std::optional<size_t>(0)) << depth;
        EXPECT_EQ(title.timeBaseFps, 24) << depth;
        ASSERT_EQ(title.clips.size(), 1u) << depth;
        ASSERT_EQ(title.clips[0].tracks.size(), 1u) << depth;
        EXPECT_EQ(title.clips[0].tracks[0].slot, 1) << depth;
    }
}

TEST(PlaylistSafetyTest, APlaylistOverTheLimitIsRefusedBeforeItIsRead) {
    testing::TempDir dir;
    const std::string small = chapterPlaylist("60fps", {{"00:00:00:00", "Start"}});
    struct Case {
        int64_t size;  // bytes: the small playlist, padded with blanks after its end
        bool read;
    };
    const Case cases[] = {
        {int64_t(small.size()), true}, {kMaxPlaylistBytes + 1, false}, {100'000'000, false}};
    for (const Case& c : cases) {
        const std::string path = dir.file("VPLST000.XPL");
        testing::writeSparseFile(path, uint64_t(c.size),
                                 {{0, testing::Bytes(small.begin(), small.end())}});
        const PlaylistReading reading = readPlaylistModelFile(path, "FEATURE_1");
        EXPECT_EQ(reading.model.has_value(), c.read) << c.size;
        if (!c.read) {
            EXPECT_EQ(reading.error, std::to_string(c.size) +
                                         " bytes long, more than the 64 MiB a playlist may have");
        }
    }
    // The same from bytes in memory.
    std::string padded = small;
    padded.resize(size_t(kMaxPlaylistBytes) + 1, ' ');
    EXPECT_FALSE(readPlaylistModel(bytesOf(padded), "FEATURE_1").model);
}

// Every string of the model, for the check that all are valid UTF-8.
std::vector<std::string> modelStrings(const PlaylistModel& model) {
    std::vector<std::string> all = {model.displayName};
    for (const PlaylistTitle& title : model.titles) {
        all.insert(all.end(), {title.id, title.name, title.durationTimeCode});
        all.insert(all.end(), title.notes.begin(), title.notes.end());
        for (const PlaylistChapter& chapter : title.chapters)
            all.insert(all.end(), {chapter.name, chapter.timeCode});
        for (const PlaylistClip& clip : title.clips) {
            all.insert(all.end(), {clip.src, clip.mapName, clip.evoName, clip.dataSource});
            for (const PlaylistTrack& track : clip.tracks)
                all.insert(all.end(), {track.description, track.language, track.codec});
        }
        for (const PlaylistTrack& track : title.tracks)
            all.insert(all.end(), {track.description, track.language, track.codec});
    }
    return all;
}

std::string utf16le(std::string_view ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii)
        bytes += {c, '\0'};
    return bytes;
}

TEST(PlaylistSafetyTest, EveryStringOfTheModelIsValidUtf8WhateverTheBytes) {
    struct Case {
        std::string xpl;
        std::string name;  // the title's displayName as the model gives it
    };
    const auto title = [](const std::string& name) {
        return "<Playlist displayName=\"" + name + "\"><Title displayName=\"" + name +
               "\"><PrimaryAudioVideoClip src=\"" + name + ".MAP\"><Audio description=\"" + name +
               "\"/></PrimaryAudioVideoClip><Chapter titleTimeBegin=\"00:00:00:00\" "
               "displayName=\"" +
               name + "\"/></Title></Playlist>";
    };
    const Case cases[] = {
        {title("Fran\xC3\xA7"
               "ais"),
         "Français"},
        {title("Fran\xE7"
               "ais"),
         "Français"},  // Latin-1 bytes in a document without a declaration
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + title("Fran\xE7"
                                                                   "ais"),
         "Français"},
        {title("Caf\xC3\xA9 \xE9t\xE9"), "Café été"},
        // A lone surrogate by reference, in UTF-8 and in UTF-16.
        {title("a&#xD800;b"),
         "a\xC3\xAD\xC2\xA0\xC2\x80"
         "b"},
        {utf16le(title("a&#xDC00;b")),
         "a\xC3\xAD\xC2\xB0\xC2\x80"
         "b"},
    };
    for (const Case& c : cases) {
        const PlaylistReading reading = readPlaylistModel(bytesOf(c.xpl), "");
        ASSERT_TRUE(reading.model) << reading.error;
        ASSERT_EQ(reading.model->titles.size(), 1u);
        EXPECT_EQ(reading.model->titles[0].name, c.name);
        for (const std::string& text : modelStrings(*reading.model))
            EXPECT_TRUE(isValidUtf8(text)) << c.name << ": " << text;
    }
}

TEST(PlaylistSafetyTest, ChapterTimesThatAreNoTimeCodeAreLeftOutAndSaidToBe) {
    struct Case {
        const char* timeBase;
        const char* time;
        std::optional<int64_t> units;
    };
    const Case cases[] = {
        {"24fps", "00:00:01:23", 47},
        {"24fps", "-00:00:01:00", std::nullopt},
        {"24fps", "00:00:01:24", std::nullopt},
        {"30fps", "00:00:00:30", std::nullopt},
        {"30fps", "00:00:00:29", 29},
        {"60fps", "00:60:00:00", std::nullopt},
        {"60fps", "00:00:60:00", std::nullopt},
        {"60fps", "00:00: 1:00", std::nullopt},
        {"60fps", "+0:00:01:00", std::nullopt},
        {"60fps", "00:00:01:00x", std::nullopt},
        {"60fps", "0x0:00:01:00", std::nullopt},
        {"60fps", "00:00:01", std::nullopt},
        {"60fps", "", std::nullopt},
        {"50fps", "10:59:59:49", (int64_t(10 * 3600 + 59 * 60 + 59)) * 50 + 49},
    };
    for (const Case& c : cases) {
        const std::string xpl =
            chapterPlaylist(c.timeBase, {{"00:00:00:00", "Start"}, {c.time, "Line\nbreak"}});
        const PlaylistReading reading = readPlaylistModel(bytesOf(xpl), "FEATURE_1");
        ASSERT_TRUE(reading.model) << reading.error;
        const PlaylistTitle& title = reading.model->titles.at(0);
        ASSERT_EQ(title.chapters.size(), 2u);
        EXPECT_EQ(title.chapters[1].beginFrame, c.units) << c.timeBase << " " << c.time;
        const FeatureDescription description = describeFeature({}, &title);
        EXPECT_EQ(description.title->chapters.size(), c.units ? 2u : 1u) << c.time;
        if (c.units) {
            EXPECT_TRUE(title.notes.empty()) << c.time;
            continue;
        }
        // One note, naming the title, the chapter and its text, on one line.
        ASSERT_EQ(title.notes.size(), 1u) << c.time;
        const std::string& note = title.notes[0];
        EXPECT_TRUE(note.starts_with("Title 4 \"Main\", chapter 2 \"Line break\": ")) << note;
        EXPECT_NE(note.find(*c.time ? "\"" + singleLineText(c.time) + "\"" : "no titleTimeBegin"),
                  std::string::npos)
            << note;
        EXPECT_TRUE(note.ends_with("left out.")) << note;
    }
}

}  // namespace
}  // namespace morvale

namespace morvale {
namespace {

TEST(PlaylistTimeBaseTest, UnitsOf24And30And60fpsLast1001TimesTheirNominalLength) {
    struct Case {
        const char* timeBase;
        const char* time;
        double seconds;  // where the time lies on the disc
    };
    const Case cases[] = {
        {"60fps", "01:59:00:00", 7140 * 1.001},
        {"60fps", "00:00:00:01", 1.001 / 60},
        {"60fps", "02:00:00:59", (7200 + 59.0 / 60) * 1.001},
        {"24fps", "00:00:06:00", 6.006},
        {"24fps", "01:59:00:23", (7140 + 23.0 / 24) * 1.001},
        {"30fps", "01:00:00:15", 3600.5 * 1.001},
        {"50fps", "01:59:00:25", 7140.5},
        {"25fps", "01:59:00:24", 7140.96},
    };
    for (const Case& c : cases) {
        const std::string xpl =
            "<Playlist><TitleSet timeBase=\"" + std::string(c.timeBase) +
            "\"><Title titleDuration=\"" + c.time +
            "\"><PrimaryAudioVideoClip src=\"FEATURE_1.MAP\" titleTimeBegin=\"" + c.time +
            "\"/><Chapter titleTimeBegin=\"" + c.time +
            "\" displayName=\"C\"/></Title></TitleSet></Playlist>";
        const PlaylistReading reading = readPlaylistModel(bytesOf(xpl), "FEATURE_1");
        ASSERT_TRUE(reading.model) << reading.error;
        const PlaylistTitle& title = reading.model->titles.at(0);
        const FeatureDescription description = describeFeature({}, &title);
        ASSERT_EQ(description.title->chapters.size(), 1u) << c.time;
        const DescribedChapter& chapter = description.title->chapters[0];
        // Rounded to the nearest: within half a unit (and the error of the doubles).
        EXPECT_NEAR(double(chapter.startMs), c.seconds * 1e3, 0.501) << c.timeBase << " " << c.time;
        EXPECT_NEAR(double(chapter.startNs), c.seconds * 1e9, 0.501) << c.timeBase << " " << c.time;
        EXPECT_EQ(chapter.timeCode, c.time) << "the text stays as the playlist writes it";
        EXPECT_EQ(description.title->durationMs, chapter.startMs) << c.time;
        const int64_t units = title.clips.at(0).titleTimeBegin.value();
        EXPECT_NEAR(double(unitsToTicks(units, title.timeBase)), c.seconds * 90000, 0.501)
            << c.time;
    }
}

}  // namespace
}  // namespace morvale
