// SPDX-License-Identifier: MIT
// The disc's titles: an HD DVD of three titles (a feature over three EVOs, an extra in one,
// a trailer whose EVO is missing) and a DVD's title sets, found from every path that names
// the disc, listed, and described as JSON the schema accepts.

#include "export/disc_titles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "export/description_json.h"
#include "export/disc_description.h"
#include "export/disc_title_listing.h"
#include "platform/folders.h"
#include "support/feature_disc.h"
#include "support/matroska_peers.h"
#include "support/temp_dir.h"

namespace morvale {
namespace {

struct Clip {
    const char *map, *begin, *end, *clipBegin;
};

// Three titles at 60fps. The feature's clips are written out of their timeline order; its
// clips carry English and German audio, its last clip a French subtitle as well.
std::string threeTitlePlaylist() {
    const auto clip = [](const Clip& c, const char* tracks) {
        return std::string("<PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/") + c.map +
               "\" titleTimeBegin=\"" + c.begin + "\" titleTimeEnd=\"" + c.end +
               "\" clipTimeBegin=\"" + c.clipBegin + "\" dataSource=\"Disc\">" + tracks +
               "</PrimaryAudioVideoClip>";
    };
    const char* featureTracks =
        "<Video track=\"1\" mediaAttr=\"1\"/>"
        "<Audio track=\"1\" streamNumber=\"1\" mediaAttr=\"1\" description=\"English\" "
        "langcode=\"en:00\"/>"
        "<Audio track=\"2\" streamNumber=\"2\" mediaAttr=\"2\" description=\"Deutsch\" "
        "langcode=\"de:00\"/>";
    const std::string french = std::string(featureTracks) +
                               "<Subtitle track=\"1\" streamNumber=\"1\" mediaAttr=\"1\" "
                               "description=\"Fran\xE7"
                               "ais\" langcode=\"fr:00\"/>";
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") +
           "<Playlist displayName=\"Three Titles\"><MediaAttributeList>"
           "<VideoAttributeItem index=\"1\" codec=\"VC-1\"/>"
           "<AudioAttributeItem index=\"1\" codec=\"DD+\" channels=\"6\"/>"
           "<AudioAttributeItem index=\"2\" codec=\"DD\" channels=\"2\"/>"
           "<SubpictureAttributeItem index=\"1\" codec=\"2bitRLC\"/></MediaAttributeList>"
           "<TitleSet timeBase=\"60fps\">"
           "<Title id=\"Feature\" titleNumber=\"1\" displayName=\"Main Feature\" "
           "titleDuration=\"01:59:00:00\">" +
           clip({"FEATURE_2.MAP", "00:50:00:00", "01:40:00:00", "00:00:00:00"}, featureTracks) +
           clip({"FEATURE_1.MAP", "00:00:00:00", "00:50:00:00", "00:00:00:00"}, featureTracks) +
           clip({"FEATURE_3.MAP", "01:40:00:00", "01:59:00:00", "00:00:00:30"}, french.c_str()) +
           "<ChapterList><Chapter titleTimeBegin=\"00:00:00:00\" displayName=\"Opening\"/>"
           "<Chapter titleTimeBegin=\"01:59:00:60\" displayName=\"Broken\"/>"
           "<Chapter titleTimeBegin=\"01:50:00:00\" displayName=\"End\"/></ChapterList></Title>"
           "<Title id=\"Extra\" titleNumber=\"2\" displayName=\"Making of\" "
           "titleDuration=\"00:10:00:00\">" +
           clip({"EXTRA.MAP", "00:00:00:00", "00:10:00:00", "00:00:00:00"},
                "<Audio track=\"1\" streamNumber=\"1\" mediaAttr=\"2\"/>") +
           "<ChapterList><Chapter titleTimeBegin=\"00:00:00:00\" displayName=\"Start\"/>"
           "</ChapterList></Title>"
           "<Title id=\"Trailer\" titleNumber=\"3\" displayName=\"Trailer\" "
           "titleDuration=\"00:02:00:00\">" +
           clip({"TRAILER.MAP", "00:00:00:00", "00:02:00:00", "00:00:00:00"}, "") +
           "</Title></TitleSet></Playlist>\n";
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

struct HdDvdDisc {
    testing::TempDir dir;
    HdDvdDisc() {
        createFolders(dir.file("ADV_OBJ"));
        createFolders(dir.file("HVDVD_TS"));
        writeText(dir.file("ADV_OBJ/VPLST000.XPL"), threeTitlePlaylist());
        uint8_t seed = 0;
        for (const char* evo : {"FEATURE_1.EVO", "FEATURE_2.EVO", "FEATURE_3.EVO", "EXTRA.EVO"})
            testing::writePart(dir.file(std::string("HVDVD_TS/") + evo),
                               testing::featurePart({.seed = seed++}));
    }
};

bool validates(const std::string& json) {
    return testing::validatesAgainstSchema(json, MORVALE_SCHEMA_PATH);
}

TEST(DiscTitlesTest, AnHdDvdsTitlesWithTheirEvosFromEveryPathThatNamesTheDisc) {
    HdDvdDisc disc;
    const std::string root = disc.dir.path();
    const std::vector<std::string> lines = {
        "Playlist " + root + "ADV_OBJ/VPLST000.XPL \"Three Titles\": 3 titles, EVOs in " + root +
            "HVDVD_TS/",
        "Title 1 \"Main Feature\": 1:59:07.140, 3 clips: FEATURE_1.EVO FEATURE_2.EVO "
        "FEATURE_3.EVO (likely feature)",
        "  Audio: DD+ 6ch en \"English\", DD 2ch de \"Deutsch\"",
        "  Subtitles: fr \"Français\"",
        "  Chapters: 3",
        "  Note: Title 1 \"Main Feature\", chapter 2 \"Broken\": time \"01:59:00:60\" is no "
        "HH:MM:SS:FF time at 60fps; left out.",
        "Title 2 \"Making of\": 0:10:00.600, 1 clip: EXTRA.EVO",
        "  Audio: DD 2ch und",
        "  Subtitles: none",
        "  Chapters: 1",
        "Title 3 \"Trailer\": 0:02:00.120, 1 clip: TRAILER.EVO",
        "  Audio: none",
        "  Subtitles: none",
        "  Chapters: 0",
        "  Missing: TRAILER.EVO",
    };
    for (const std::string& path :
         {root, root + "HVDVD_TS", root + "HVDVD_TS/", root + "ADV_OBJ/VPLST000.XPL",
          root + "HVDVD_TS/FEATURE_2.EVO", root + "ADV_OBJ"}) {
        const DiscTitles titles = readDiscTitles(path);
        ASSERT_EQ(titles.error, "") << path;
        EXPECT_EQ(discTitleLines(titles), lines) << path;
        ASSERT_EQ(titles.titles.size(), 3u);
        EXPECT_EQ(titles.longest, std::optional<size_t>(0)) << path;

        // The feature's clips in timeline order, each with its own EVO and tracks.
        const DiscTitle& feature = titles.titles[0];
        ASSERT_EQ(feature.clips.size(), 3u);
        for (size_t i = 0; i < 3; ++i) {
            const std::string evo = "FEATURE_" + std::to_string(i + 1) + ".EVO";
            EXPECT_EQ(feature.title.clips[i].evoName, evo);
            EXPECT_EQ(feature.clips[i].evoPath, root + "HVDVD_TS/" + evo) << path;
            EXPECT_TRUE(feature.clips[i].present);
            EXPECT_EQ(feature.title.clips[i].tracks.size(), i == 2 ? 4u : 3u) << i;
        }
        EXPECT_EQ(feature.title.clips[2].clipTimeBegin, 30);
        EXPECT_FALSE(titles.titles[2].clips[0].present);
    }
}

TEST(DiscTitlesTest, TheTitlesAsJsonInTheFeatureDescriptionsForm) {
    if (!testing::haveSchemaValidator()) GTEST_SKIP() << "python3-jsonschema missing";
    HdDvdDisc disc;
    const std::string json = featureDescriptionJson(describeDisc(readDiscTitles(disc.dir.path())));
    EXPECT_TRUE(validates(json)) << json;
    const nlohmann::json parsed = nlohmann::json::parse(json);
    EXPECT_EQ(parsed["version"], 2);
    EXPECT_EQ(parsed["disc"]["kind"], "hd_dvd");
    EXPECT_EQ(parsed["playlist"]["path"], disc.dir.file("ADV_OBJ/VPLST000.XPL"));
    const nlohmann::json& titles = parsed["titles"];
    ASSERT_EQ(titles.size(), 3u);
    EXPECT_EQ(titles[0]["likely_feature"], true);
    EXPECT_EQ(titles[0]["time_base_rate"], "60000/1001");
    EXPECT_EQ(titles[0]["duration_ms"], 7147140);
    EXPECT_EQ(titles[0]["chapters"][1]["start_ns"], int64_t{6600} * 1'001'000'000);
    EXPECT_EQ(titles[0]["clips"][1]["title_time_begin_ms"], 3000 * 1001);
    EXPECT_EQ(titles[0]["clips"][2]["tracks"][3]["language"], "fr");
    EXPECT_EQ(titles[0]["notes"].size(), 1u);
    EXPECT_EQ(titles[2]["missing_evos"], nlohmann::json::array({"TRAILER.EVO"}));
    EXPECT_EQ(titles[2]["clips"][0]["present"], false);
    EXPECT_TRUE(parsed["title_sets"].empty());
}

TEST(DiscTitlesTest, ADvdsTitleSetsWithTheirPartsInOrder) {
    testing::TempDir dir;
    const std::string vts = dir.file("VIDEO_TS/");
    createFolders(dir.file("VIDEO_TS"));
    // Set 1 whole, set 2 without its IFO and second part, set 3 in lower case (as some
    // copies name it), the largest.
    const std::pair<const char*, int> files[] = {
        {"VIDEO_TS.IFO", 0}, {"VTS_01_0.IFO", 0},  {"VTS_01_1.VOB", 4},
        {"VTS_01_2.VOB", 4}, {"VTS_02_1.VOB", 4},  {"VTS_02_3.VOB", 4},
        {"vts_03_0.ifo", 0}, {"vts_03_1.vob", 60}, {"VTS_04_7.BUP", 4}};
    for (const auto& [name, pictures] : files) {
        testing::writePart(vts + name, pictures ? testing::featurePart({.pictures = pictures * 10})
                                                : testing::FeaturePart{});
    }
    const std::vector<std::string> lines = {
        "DVD " + vts + ": 3 title sets",
        "Title set 1: 2 parts: VTS_01_1.VOB VTS_01_2.VOB, " +
            std::to_string(2 * testing::featurePart({.pictures = 40}).bytes.size()) + " bytes",
        "Title set 2: 2 parts: VTS_02_1.VOB VTS_02_3.VOB, " +
            std::to_string(2 * testing::featurePart({.pictures = 40}).bytes.size()) + " bytes",
        "  Missing: VTS_02_0.IFO, VTS_02_2.VOB",
        "Title set 3: 1 part: vts_03_1.vob, " +
            std::to_string(testing::featurePart({.pictures = 600}).bytes.size()) +
            " bytes (likely feature)",
    };
    for (const std::string& path : {dir.path(), vts, dir.file("VIDEO_TS"), vts + "VTS_01_2.VOB"}) {
        const DiscTitles titles = readDiscTitles(path);
        EXPECT_EQ(titles.layout.kind, DiscKind::Dvd) << path;
        EXPECT_EQ(discTitleLines(titles), lines) << path;
    }
    const DiscTitles titles = readDiscTitles(vts);
    ASSERT_EQ(titles.dvd.sets.size(), 3u);
    EXPECT_EQ(titles.dvd.sets[0].parts,
              (std::vector<std::string>{vts + "VTS_01_1.VOB", vts + "VTS_01_2.VOB"}));
    if (testing::haveSchemaValidator()) {
        const std::string json = featureDescriptionJson(describeDisc(titles));
        EXPECT_TRUE(validates(json)) << json;
        EXPECT_EQ(nlohmann::json::parse(json)["title_sets"][2]["likely_feature"], true);
    }
}

TEST(DiscTitlesTest, WhatIsNoDiscOrNoPlaylistSaysWhy) {
    testing::TempDir dir;
    createFolders(dir.file("ADV_OBJ"));
    createFolders(dir.file("HVDVD_TS"));
    createFolders(dir.file("empty"));
    writeText(dir.file("ADV_OBJ/VPLST000.XPL"), "<Playlist><Title></Playlist>");
    writeText(dir.file("notes.txt"), "text");
    struct Case {
        std::string path, why;
    };
    const Case cases[] = {
        {dir.path(), "VPLST000.XPL is not well-formed XML at line 1, column 20: "},
        {dir.file("empty"),
         "no ADV_OBJ/VPLST000.XPL and no VIDEO_TS title set in " + dir.file("empty/")},
        {dir.file("notes.txt"),
         dir.file("notes.txt") + " is no playlist, EVO in HVDVD_TS, VOB or IFO"},
        {dir.file("empty/HVDVD_TS"), "no playlist " + dir.file("empty/ADV_OBJ/VPLST000.XPL")},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> lines = discTitleLines(readDiscTitles(c.path));
        ASSERT_EQ(lines.size(), 1u) << c.path;
        EXPECT_TRUE(lines[0].starts_with("No titles: " + c.why)) << lines[0];
    }
}

}  // namespace
}  // namespace morvale
