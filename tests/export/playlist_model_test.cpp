// SPDX-License-Identifier: MIT
#include "export/playlist_model.h"

#include <gtest/gtest.h>

#include "playlist/outline_reader.h"
#include "playlist/title_listing.h"
#include "playlist/title_selection.h"
#include "sample_disc/sample_playlist.h"

namespace morvale {
namespace {

std::span<const uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

PlaylistModel modelOf(std::string_view text, std::string_view base) {
    PlaylistReading reading = readPlaylistModel(bytesOf(text), base);
    EXPECT_TRUE(reading.model) << reading.error;
    return reading.model.value_or(PlaylistModel{});
}

TEST(PlaylistModelTest, ReadsTheSampleDiscsTitleTracksAndChapters) {
    const std::string xpl = sample::samplePlaylist({144, 96});
    const PlaylistModel model = modelOf(xpl, "FEATURE_2");
    EXPECT_EQ(model.displayName, "Morvale Sample Disc");
    ASSERT_EQ(model.chosenTitle, std::optional<size_t>(0));
    const PlaylistTitle& title = model.titles[0];
    EXPECT_EQ(title.name, "Sample Feature");
    EXPECT_EQ(title.timeBaseFps, 24);
    EXPECT_EQ(title.durationFrames, 240);

    ASSERT_EQ(title.clips.size(), 2u);
    EXPECT_EQ(title.clips[1].mapName, "FEATURE_2.MAP");
    EXPECT_EQ(title.clips[1].titleTimeBegin, 144);
    EXPECT_EQ(title.clips[1].titleTimeEnd, 240);

    struct Track {
        PlaylistTrackKind kind;
        int slot;
        const char *description, *language, *codec, *channels;
    };
    const Track tracks[] = {
        {PlaylistTrackKind::Video, 0, "Feature", "", "VC-1", ""},
        {PlaylistTrackKind::Audio, 0, "English", "en", "DD+", "6"},
        {PlaylistTrackKind::Audio, 1, "Deutsch", "de", "DD+", "6"},
        {PlaylistTrackKind::Audio, 2, "Commentary", "en", "DD", "2"},
        {PlaylistTrackKind::Subtitle, 0, "English", "en", "2bitRLC", ""},
        {PlaylistTrackKind::Subtitle, 1, "Deutsch", "de", "2bitRLC", ""},
    };
    ASSERT_EQ(title.tracks.size(), std::size(tracks)) << "each track once, not once per clip";
    for (size_t i = 0; i < std::size(tracks); ++i) {
        EXPECT_EQ(title.tracks[i].kind, tracks[i].kind) << i;
        EXPECT_EQ(title.tracks[i].slot, tracks[i].slot) << i;
        EXPECT_EQ(title.tracks[i].description, tracks[i].description) << i;
        EXPECT_EQ(title.tracks[i].language, tracks[i].language) << i;
        EXPECT_EQ(title.tracks[i].codec, tracks[i].codec) << i;
        EXPECT_EQ(title.tracks[i].channels, tracks[i].channels) << i;
    }

    std::vector<std::pair<std::string, std::optional<int64_t>>> chapters;
    for (const PlaylistChapter& chapter : title.chapters)
        chapters.emplace_back(chapter.name, chapter.beginFrame);
    EXPECT_EQ(chapters,
              (decltype(chapters){
                  {"Opening", 0}, {"Tones", 72}, {"Second part", 144}, {"Closing", 192}}));
}

TEST(PlaylistModelTest, TimeCodesCountFramesAtTheTitleSetsTimeBase) {
    struct Case {
        const char* timeBase;  // nullptr: no timeBase attribute
        const char* timeCode;
        std::optional<int64_t> frames;
        int64_t ms;
    };
    const Case cases[] = {
        {nullptr, "00:00:01:30", 90, 1500},  // 60 frames per second without a timeBase
        {"50fps", "01:00:00:25", 180025, 3600500},
        {"24fps", "00:00:03:00", 72, 3000},
        {"24fps", "00:61:00:00", std::nullopt, 0},
        {"24fps", "00:00:03", std::nullopt, 0},
        {"24fps", "aa:00:03:00", std::nullopt, 0},
        {"fps", "00:00:01:30", 90, 1500},  // a time base that is not one counts as absent
    };
    for (const Case& c : cases) {
        const std::string xpl =
            std::string("<Playlist><TitleSet") +
            (c.timeBase ? std::string(" timeBase=\"") + c.timeBase + "\"" : "") +
            "><Title displayName=\"T\" titleDuration=\"" + c.timeCode +
            "\"><PrimaryAudioVideoClip src=\"FEATURE_1.MAP\"/><ChapterList><Chapter "
            "titleTimeBegin=\"" +
            c.timeCode +
            "\" displayName=\"C\"/></ChapterList></Title>"
            "</TitleSet></Playlist>";
        const PlaylistModel model = modelOf(xpl, "FEATURE_1");
        ASSERT_EQ(model.titles.size(), 1u);
        const PlaylistTitle& title = model.titles[0];
        EXPECT_EQ(title.durationFrames, c.frames) << c.timeCode;
        EXPECT_EQ(title.chapters.at(0).beginFrame, c.frames) << c.timeCode;
        if (c.frames) {
            EXPECT_EQ(framesToMilliseconds(*c.frames, title.timeBaseFps), c.ms);
        }
    }
}

// The title Read XPL's tree shows for the source: "Name: ..." of its listing, or nothing.
std::optional<std::string> readXplTitle(const std::string& xpl, const std::string& base) {
    XplCodecTables codecs;
    OutlineReader reader(codecs);
    reader.feed(bytesOf(xpl));
    std::vector<std::string> lines = reader.takeLines();
    if (!selectTitle(lines, base)) return std::nullopt;
    std::array<int32_t, 16> video{}, audio{};
    std::array<int32_t, 32> subtitle{};
    video.fill(-1), audio.fill(-1), subtitle.fill(-1);
    const TitleListing listing = listTitle(lines, "", codecs, {video, audio, subtitle});
    for (const std::string& item : listing.info) {
        if (item.starts_with("Name: ")) return item.substr(6);
    }
    return std::nullopt;
}

TEST(PlaylistModelTest, ChoosesTheTitleThePlaylistPageShows) {
    const std::string twoTitles =
        "<?xml version=\"1.0\"?>\n<Playlist>\n <TitleSet>\n"
        "  <Title displayName=\"Extras\"><PrimaryAudioVideoClip src=\"EXTRA_1.MAP\"/></Title>\n"
        "  <Title displayName=\"Main\"><PrimaryAudioVideoClip src=\"FEATURE_1.MAP\"/>"
        "<PrimaryAudioVideoClip src=\"FEATURE_2.MAP\"/></Title>\n"
        "  <title displayName=\"FEATURE_3 cut\"><Clip src=\"FEATURE_3.MAP\"/></title>\n"
        " </TitleSet>\n</Playlist>\n";
    const std::string sourceOnTop =
        "<Playlist displayName=\"FEATURE_1\"><Title displayName=\"A\">"
        "<Clip src=\"FEATURE_1.MAP\"/></Title></Playlist>";
    struct Case {
        std::string xpl, base;
    };
    const Case cases[] = {{twoTitles, "FEATURE_1"},   {twoTitles, "FEATURE_2"},
                          {twoTitles, "EXTRA_1"},     {twoTitles, "FEATURE_3"},
                          {twoTitles, "FEATURE_9"},   {twoTitles, "feature_1"},
                          {sourceOnTop, "FEATURE_1"}, {twoTitles, ""}};
    for (const Case& c : cases) {
        const PlaylistModel model = modelOf(c.xpl, c.base);
        std::optional<std::string> chosen;
        if (model.chosenTitle) chosen = model.titles.at(*model.chosenTitle).name;
        EXPECT_EQ(chosen, readXplTitle(c.xpl, c.base)) << c.base;
    }
}

TEST(PlaylistModelTest, APlaylistThatIsNotWellFormedSaysWhereItBreaks) {
    struct Case {
        const char* xpl;
        const char* where;
    };
    const Case cases[] = {
        {"<Playlist>\n  <Title>\n</Playlist>\n", "line 3, column 3"},
        {"<Playlist a=\"1>\n</Playlist>", "line 1, column"},
        {"", "line 1, column 1"},
        {"<?xml version=\"1.0\"?>\r\n<Playlist><A></B></Playlist>", "line 2, column 16"},
    };
    for (const Case& c : cases) {
        const PlaylistReading reading = readPlaylistModel(bytesOf(c.xpl), "FEATURE_1");
        EXPECT_FALSE(reading.model) << c.xpl;
        EXPECT_TRUE(reading.error.starts_with("not well-formed XML at ")) << reading.error;
        EXPECT_NE(reading.error.find(c.where), std::string::npos)
            << reading.error << " / " << c.where;
    }
}

}  // namespace
}  // namespace morvale
