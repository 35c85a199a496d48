// SPDX-License-Identifier: MIT
#include "export/feature_description.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "export/description_json.h"
#include "sample_disc/sample_playlist.h"
#include "support/matroska_peers.h"
#include "support/peer_tools.h"
#include "support/temp_dir.h"

namespace morvale {
namespace {

using testing::quoted;

PlaylistTitle sampleTitle() {
    const std::string xpl = sample::samplePlaylist({144, 96});
    PlaylistReading reading =
        readPlaylistModel({reinterpret_cast<const uint8_t*>(xpl.data()), xpl.size()}, "FEATURE_1");
    return reading.model->titles.at(*reading.model->chosenTitle);
}

ScanStream stream(ScanStreamKind kind, int slot, int id, const char* codec,
                  std::vector<ScanPartTimes> parts) {
    ScanStream s;
    s.kind = kind;
    s.slot = slot;
    s.id = id;
    s.codec = codec;
    s.parts = std::move(parts);
    s.firstPts = s.parts.empty() ? std::nullopt : s.parts[0].firstPts;
    return s;
}

// The sample disc's streams in two parts: the second part's English audio a frame late,
// the commentary found in the second part only, a subpicture slot without a playlist track,
// and a first part whose video timestamps wrap past 2^32.
FeatureScan twoPartScan() {
    FeatureScan scan;
    scan.partPaths = {"HVDVD_TS/FEATURE_1.EVO", "HVDVD_TS/FEATURE_2.EVO"};
    const uint32_t v1 = 0xFFFFF000, v2 = v1 + 540540;
    scan.streams = {
        stream(ScanStreamKind::Video, 0, 0x55, "VC-1",
               {{v1, v1 + 536786, {}}, {v2, v2 + 356603, {}}}),
        stream(ScanStreamKind::Audio, 0, 0xC0, "DD+", {{v1 + 27000, {}, {}}, {v2 + 3754, {}, {}}}),
        stream(ScanStreamKind::Audio, 1, 0xC1, "DD+", {{v1 - 10800, {}, {}}, {v2, {}, {}}}),
        stream(ScanStreamKind::Audio, 2, 0x82, "DD", {{}, {v2 + 900, {}, {}}}),
        stream(ScanStreamKind::Subpicture, 5, 0x25, "Subpicture", {{v1 + 45000, {}, {}}, {}}),
    };
    scan.streams[2].channels = 6;
    return scan;
}

TEST(FeatureDescriptionTest, JoinsTheScanWithThePlaylistTitle) {
    const PlaylistTitle title = sampleTitle();
    const FeatureDescription description = describeFeature(twoPartScan(), &title, "Disc");
    struct Expected {
        const char *name, *language;
        bool isDefault;
        std::optional<int64_t> delayMs;
        std::vector<std::optional<int64_t>> partDelayMs;
    };
    const Expected expected[] = {
        {"Feature", "und", true, 0, {0, 0}},
        {"English", "en", true, 300, {300, 42}},
        {"Deutsch", "de", false, -120, {-120, 0}},
        {"Commentary", "en", false, std::nullopt, {std::nullopt, 10}},
        {"", "und", false, 500, {500, std::nullopt}},
    };
    ASSERT_EQ(description.streams.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const DescribedStream& s = description.streams[i];
        EXPECT_EQ(s.name, expected[i].name) << i;
        EXPECT_EQ(s.language, expected[i].language) << i;
        EXPECT_EQ(s.isDefault, expected[i].isDefault) << i;
        EXPECT_EQ(s.delayMs, expected[i].delayMs) << i;
        EXPECT_EQ(s.partDelayMs, expected[i].partDelayMs) << i;
    }
    ASSERT_TRUE(description.title);
    // 24fps units last as long as the video's 24000/1001 pictures: the 240 of the title as
    // long as its 240 pictures, the second part's chapter where its first picture plays.
    EXPECT_EQ(description.title->durationMs, 10010);
    std::vector<int64_t> starts;
    for (const DescribedChapter& chapter : description.title->chapters)
        starts.push_back(chapter.startMs);
    EXPECT_EQ(starts, (std::vector<int64_t>{0, 3003, 6006, 8008}));

    // Without a playlist the lowest audio slot plays by default and nothing is named.
    const FeatureDescription bare = describeFeature(twoPartScan(), nullptr);
    EXPECT_FALSE(bare.title);
    for (const DescribedStream& s : bare.streams) {
        EXPECT_EQ(s.isDefault, s.scan.slot == 0 && s.scan.kind != ScanStreamKind::Subpicture);
        EXPECT_EQ(s.language, "und");
    }
}

bool validates(const std::string& json) {
    return testing::validatesAgainstSchema(json, MORVALE_SCHEMA_PATH);
}

TEST(FeatureDescriptionTest, JsonValidatesAgainstItsSchema) {
    if (!testing::haveSchemaValidator()) {
        GTEST_SKIP() << "python3-jsonschema missing";
    }
    const PlaylistTitle title = sampleTitle();
    FeatureDescription withTitle = describeFeature(twoPartScan(), &title, "Disc");
    withTitle.playlistPath = "ADV_OBJ/VPLST000.XPL";
    withTitle.streams[0].scan.runningSeconds = 10.01;
    withTitle.streams[0].scan.frameCount = 240;
    FeatureDescription broken = describeFeature(twoPartScan(), nullptr);
    broken.playlistPath = "ADV_OBJ/VPLST000.XPL";
    broken.playlistError = "not well-formed XML at line 3, column 3: Start-end tags mismatch";
    broken.streams[1].name =
        "Fran\xE7"
        "ais";  // Latin-1, not UTF-8
    const FeatureDescription empty = describeFeature({}, nullptr);

    for (const FeatureDescription* d :
         std::vector<const FeatureDescription*>{&withTitle, &broken, &empty}) {
        const std::string json = featureDescriptionJson(*d);
        EXPECT_TRUE(validates(json)) << json;
    }
    const nlohmann::json parsed = nlohmann::json::parse(featureDescriptionJson(withTitle));
    EXPECT_EQ(parsed["streams"][1]["parts"][1]["delay_ms"], 42);
    EXPECT_EQ(parsed["streams"][2]["id"], "0xC1");
    EXPECT_EQ(parsed["title"]["chapters"][1]["start_ms"], 3003);
    EXPECT_EQ(parsed["title"]["tracks"].size(), 6u);
    EXPECT_EQ(parsed["title"]["tracks"][2]["language"], "de");
    EXPECT_EQ(nlohmann::json::parse(featureDescriptionJson(broken))["streams"][1]["name"],
              "Fran\xEF\xBF\xBD"
              "ais");

    // The schema is no formality: a document of another version or kind does not pass.
    nlohmann::json wrong = parsed;
    wrong["version"] = 1;
    EXPECT_FALSE(validates(wrong.dump()));
    wrong = parsed;
    wrong["streams"][0]["kind"] = "data";
    EXPECT_FALSE(validates(wrong.dump()));
}

TEST(FeatureDescriptionTest, TimestampDifferencesGoTheShortWayRoundTheWrap) {
    struct Case {
        uint32_t later, earlier;
        int64_t ticks, ms;
    };
    const Case cases[] = {
        {0x0001231B, 0x0000BB83, 0x1231B - 0xBB83, 295},
        {0x00000100, 0xFFFFFF00, 0x200, 6},
        {0xFFFFFF00, 0x00000100, -0x200, -6},
        {90000, 100800, -10800, -120},
        {0x80000000, 0, -0x80000000LL, -23860929},
        {45, 0, 45, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ptsDifference(c.later, c.earlier), c.ticks) << std::hex << c.later;
        EXPECT_EQ(ticksToMilliseconds(c.ticks), c.ms) << c.ticks;
    }
}

}  // namespace
}  // namespace morvale
