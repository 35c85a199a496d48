// SPDX-License-Identifier: MIT
// The sample disc through morvale-cli against ffmpeg: a demux of the two-part feature gives
// exactly ffmpeg's stream copies of the two parts read as one file, and a rebuilt feature
// holds for ffprobe and ffmpeg only the kept streams, renumbered, with the same bytes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "generated_disc.h"
#include "support/peer_tools.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

using ::testing::ElementsAre;
using Bytes = std::vector<uint8_t>;

// One record of a subpicture file: the time of its "SP" header and the data after it.
struct SubpictureRecord {
    uint32_t time;
    Bytes data;
};

// Reads a subpicture file record by record, each record's data as long as the peer's
// packet in the same place: 'S' 'P', the 32-bit little-endian time, four zero bytes, then
// the data. A header out of place ends the reading; bytes left over make one more record,
// so a count check catches them.
std::vector<SubpictureRecord> subpictureRecords(const Bytes& file,
                                                const std::vector<ProbedPacket>& packets) {
    std::vector<SubpictureRecord> records;
    size_t at = 0;
    for (const ProbedPacket& packet : packets) {
        if (at + 10 + packet.size > file.size() || file[at] != 'S' || file[at + 1] != 'P' ||
            file[at + 6] != 0 || file[at + 7] != 0 || file[at + 8] != 0 || file[at + 9] != 0) {
            break;
        }
        const uint32_t time = file[at + 2] | file[at + 3] << 8 | file[at + 4] << 16 |
                              static_cast<uint32_t>(file[at + 5]) << 24;
        records.push_back(
            {time, Bytes(file.begin() + static_cast<std::ptrdiff_t>(at + 10),
                         file.begin() + static_cast<std::ptrdiff_t>(at + 10 + packet.size))});
        at += 10 + packet.size;
    }
    if (at != file.size()) records.push_back({0, {}});  // what is left matches no packet
    return records;
}

class SampleDiscPeerTest : public DiscSuite {
  protected:
    void SetUp() override {
        DiscSuite::SetUp();
        if (HasFatalFailure()) return;
        if (!havePeerTools()) GTEST_SKIP() << "ffmpeg is not installed";
        ::mkdir(out().c_str(), 0755);
    }

    std::string out() const { return dir.file("out"); }
    std::string output(const std::string& name) const { return dir.file("out/" + name); }
    // Both parts as ffmpeg reads them: one file, as the program continues into the second.
    static std::string feature() { return concatInput(disc().part(1), disc().part(2)); }

    // morvale-cli with the arguments; its stdout lines.
    Lines cli(const std::string& arguments) const {
        return shellLines(MORVALE_CLI_PATH " " + arguments + " 2>&1; echo \"exit $?\"");
    }
    Bytes peer(const std::string& input, uint32_t id, const std::string& format) const {
        return ffmpegCopy(input, id, format, dir.file("peer." + std::to_string(id) + "." + format));
    }

    TempDir dir;
};

// The video and every audio stream equal ffmpeg's copies byte for byte. The subpicture
// files hold one record per subpicture packet: its data is ffmpeg's packet, its time the
// packet's PTS less the smallest first audio/video PTS that the scan before the demux saw.
TEST_F(SampleDiscPeerTest, DemuxOfTheFeatureEqualsFfmpegsCopies) {
    const Lines log = cli("demux -o " + quoted(out()) + " " + quoted(disc().part(1)));
    ASSERT_EQ(log.back(), "exit 0");
    ASSERT_THAT(log, ::testing::Contains("Continue on FEATURE_2.EVO"));

    const Bytes video = readFileBytes(output("FEATURE_1_2.VC-1.stream.0.mpv"));
    ASSERT_GT(video.size(), 1000000u);
    EXPECT_TRUE(video == peer(feature(), 0xFD55, "vc1"));
    const struct {
        const char* name;
        uint32_t id;
        const char* format;
    } audio[] = {{"FEATURE_1_2.DD+.stream.00.mpa", 0xC0, "eac3"},
                 {"FEATURE_1_2.DD+.stream.01.mpa", 0xC1, "eac3"},
                 {"FEATURE_1_2.DD.stream.02.mpa", 0x82, "ac3"}};
    for (const auto& stream : audio) {
        const Bytes demuxed = readFileBytes(output(stream.name));
        ASSERT_GT(demuxed.size(), 100000u) << stream.name;
        EXPECT_TRUE(demuxed == peer(feature(), stream.id, stream.format)) << stream.name;
    }

    int64_t minFirstPts = INT64_MAX;
    for (uint32_t id : {0xFD55u, 0xC0u, 0xC1u, 0x82u}) {
        const std::vector<ProbedPacket> packets = probePackets(feature(), id);
        ASSERT_FALSE(packets.empty());
        minFirstPts = std::min(minFirstPts, packets.front().pts);
    }
    for (uint32_t id : {0x20u, 0x21u}) {
        const std::vector<ProbedPacket> packets = probePackets(feature(), id);
        ASSERT_EQ(packets.size(), 5u);
        const Bytes units = peer(feature(), id, "data");
        const std::vector<SubpictureRecord> records = subpictureRecords(
            readFileBytes(output("FEATURE_1_2.Subpicture.0" + std::to_string(id - 0x20) + ".sup")),
            packets);
        ASSERT_EQ(records.size(), packets.size()) << "sub-stream " << id;
        size_t at = 0;
        for (size_t k = 0; k < packets.size(); ++k) {
            EXPECT_EQ(records[k].time, static_cast<uint32_t>(packets[k].pts - minFirstPts));
            EXPECT_TRUE(records[k].data ==
                        Bytes(units.begin() + static_cast<std::ptrdiff_t>(at),
                              units.begin() + static_cast<std::ptrdiff_t>(at + packets[k].size)))
                << "sub-stream " << id << ", unit " << k;
            at += packets[k].size;
        }
        EXPECT_EQ(at, units.size());
    }
}

// Rebuild keeps the video, the second Dolby Digital Plus stream, the Dolby Digital stream
// and the second subpicture stream of both parts. ffprobe sees only those, renumbered from
// the first id of their kind (0xC1 -> 0xC0, 0x82 -> 0x81, 0x21 -> 0x20), ffmpeg takes the
// same bytes out of them as out of the source, and a scan announces what ffprobe lists.
TEST_F(SampleDiscPeerTest, RebuiltFeatureHoldsOnlyTheKeptStreams) {
    const Lines log =
        cli("rebuild --streams v0,a01,a02,s01 -o " + quoted(out()) + " " + quoted(disc().part(1)));
    ASSERT_EQ(log.back(), "exit 0");
    const std::string rebuilt = output("FEATURE_1_2.rebuilt.EVO");
    EXPECT_THAT(probedStreamNames(rebuilt),
                ElementsAre("ac3,0x81", "dvd_nav_packet,0x1bf", "dvd_subtitle,0x20", "eac3,0xc0",
                            "vc1,0xfd55"));

    const struct {
        uint32_t sourceId, rebuiltId;
        const char* format;
    } kept[] = {
        {0xFD55, 0xFD55, "vc1"}, {0xC1, 0xC0, "eac3"}, {0x82, 0x81, "ac3"}, {0x21, 0x20, "data"}};
    for (const auto& stream : kept) {
        const Bytes source = ffmpegCopy(feature(), stream.sourceId, stream.format,
                                        dir.file("source." + std::string(stream.format)));
        ASSERT_GT(source.size(), 1000u) << stream.sourceId;
        EXPECT_TRUE(source == peer(rebuilt, stream.rebuiltId, stream.format)) << stream.sourceId;
    }

    const Lines scan = cli("scan " + quoted(rebuilt));
    ASSERT_EQ(scan.back(), "exit 0");
    EXPECT_EQ(foundLines(scan), announcementsOf(rebuilt));
    EXPECT_THAT(scan, ::testing::Contains("It contains 1 video stream and 2 audio streams."));
}

}  // namespace
}  // namespace morvale::testing
