// SPDX-License-Identifier: MIT
// Independent checks of a rebuilt EVO made of encoder-made streams: ffprobe lists exactly the
// kept streams under their new ids, ffmpeg takes the same elementary streams out of it, and
// a scan by the engine finds the kept streams in their new slots.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/demux.h"
#include "rebuild_packs.h"
#include "rebuild_run.h"
#include "support/peer_tools.h"

namespace morvale::testing {
namespace {

using ::testing::ElementsAre;

// A DVD subpicture unit of one 16x2 picture shown at once: the size, the offset of the
// control sequence, one run-length line per field, and the control sequence.
Bytes subpictureUnit() {
    return {0x00, 0x20, 0x00, 0x08,                    // size 32, control at 8
            0x00, 0x01, 0x00, 0x01,                    // each line: colour 1 to its end
            0x00, 0x00, 0x00, 0x08,                    // no delay, the last sequence
            0x01,                                      // start display
            0x03, 0x32, 0x10,                          // palette
            0x04, 0xFF, 0xF0,                          // contrast
            0x05, 0x00, 0x00, 0x0F, 0x00, 0x00, 0x01,  // x 0-15, y 0-1
            0x06, 0x00, 0x04, 0x00, 0x06,              // the two fields' lines
            0xFF};
}

// The packs of an elementary stream, one by one.
std::vector<Bytes> packsOf(const Bytes& stream) {
    std::vector<Bytes> packs;
    for (size_t at = 0; at < stream.size(); at += 2048)
        packs.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(at),
                           stream.begin() + static_cast<std::ptrdiff_t>(at + 2048));
    return packs;
}

class RebuildPeer : public ::testing::Test, public RebuildRun {
  protected:
    void SetUp() override {
        if (!havePeerTools()) GTEST_SKIP() << "ffmpeg is not installed";
    }

    Bytes encoded(const std::string& input, const std::string& codec, const std::string& name) {
        const std::string path = dir.file(name);
        EXPECT_TRUE(shellSucceeds("ffmpeg -v error -y -f lavfi -i " + input + " -t 3 " + codec +
                                  " " + path));
        return readFileBytes(path);
    }
};

TEST_F(RebuildPeer, FfprobeAndAScanSeeExactlyTheKeptStreamsUnderTheirNewIds) {
    // Noise keeps the pictures large, so the rebuilt file holds a full first block and the
    // scan of it reports its system header.
    const Bytes video = encoded("testsrc=size=320x240:rate=25,noise=alls=30:allf=t",
                                "-c:v mpeg2video -b:v 2M -f mpeg2video", "in.m2v");
    const Bytes ac3a = encoded("sine=frequency=300:sample_rate=48000", "-c:a ac3 -f ac3", "a.ac3");
    const Bytes ac3b = encoded("sine=frequency=500:sample_rate=48000", "-c:a ac3 -f ac3", "b.ac3");
    const Bytes eac3a =
        encoded("sine=frequency=700:sample_rate=48000", "-c:a eac3 -f eac3", "a.eac3");
    const Bytes eac3b =
        encoded("sine=frequency=900:sample_rate=48000", "-c:a eac3 -f eac3", "b.eac3");
    ASSERT_FALSE(video.empty() || ac3a.empty() || ac3b.empty() || eac3a.empty() || eac3b.empty());

    // Streams interleaved pack by pack after a navigation pack, in the order of their ids
    // below; subpictures once a second.
    const std::vector<std::vector<Bytes>> streams = {
        packsOf(packetizeInPacks(0xE0, videoHeader(), video)),
        packsOf(packetizePrivateStream1(0xC1, audioHeader(), eac3a)),
        packsOf(packetizePrivateStream1(0xC3, audioHeader(), eac3b)),
        packsOf(packetizePrivateStream1(0x80, audioHeader(), ac3a)),
        packsOf(packetizePrivateStream1(0x82, audioHeader(), ac3b))};
    ProgramStream evo;
    evo.add(navigationPack(4, 1));
    size_t longest = 0;
    for (const auto& s : streams)
        longest = std::max(longest, s.size());
    for (size_t k = 0; k < longest; ++k) {
        for (const auto& s : streams)
            if (k < s.size()) evo.add(s[k]);
        if (k % 40 == 0) {
            const uint64_t pts = 90000 + k * 3600;
            evo.addPack({privateStream1Packet(0x20, PesHeader().pts(pts), subpictureUnit())});
            evo.addPack({privateStream1Packet(0x22, PesHeader().pts(pts), subpictureUnit())});
        }
    }
    evo.add(Bytes{0x00, 0x00, 0x01, 0xB9});
    const std::string source = dir.file("FEATURE_1.EVO");
    evo.writeFile(source);

    // What a scan of the source lists, and ffprobe agrees.
    {
        SourceFile scanned = SourceFile::open(source, ShareMode::Shared);
        demux(state, host, scanned, EngineMode::Scan);
    }
    EXPECT_EQ(state.audioStreamIds[1], 0xC1);
    EXPECT_EQ(state.audioStreamIds[3], 0xC3);
    EXPECT_EQ(state.audioStreamIds[0], 0x80);
    EXPECT_EQ(state.audioStreamIds[2], 0x82);
    // The boxes ListFoundStreams would tick.
    host.videoTicks[0] = true;
    for (int slot : {0, 1, 2, 3})
        host.audioTicks[slot] = true;
    for (int slot : {0, 2})
        host.subpictureTicks[slot] = true;
    EXPECT_THAT(probedStreamNames(source),
                ElementsAre("ac3,0x80", "ac3,0x82", "dvd_subtitle,0x20", "dvd_subtitle,0x22",
                            "eac3,0xc1", "eac3,0xc3", "mpeg2video,0x1e0"));

    // Keep the video, 0xC3, 0x82 and subpicture 0x22.
    host.audioTicks[1] = false;  // 0xC1
    host.audioTicks[0] = false;  // 0x80
    host.subpictureTicks[0] = false;
    const std::string rebuilt = dir.file("FEATURE_1.rebuilt.EVO");
    {
        SourceFile in = SourceFile::open(source, ShareMode::Exclusive);
        OutputFile out = OutputFile::create(rebuilt);
        Rebuild(state, host, in, out, numbering);
        out.close();
    }

    // 0xC3 comes first of the kept audio streams: 0xC0; then 0x82: 0x80 OR 1.
    EXPECT_THAT(probedStreamNames(rebuilt),
                ElementsAre("ac3,0x81", "dvd_subtitle,0x20", "eac3,0xc0", "mpeg2video,0x1e0"));
    ASSERT_TRUE(shellSucceeds("ffmpeg -v error -y -i " + rebuilt +
                              " -map 0:i:0x1e0 -c copy -f mpeg2video " + dir.file("out.m2v") +
                              " -map 0:i:0xc0 -c copy -f eac3 " + dir.file("out.eac3") +
                              " -map 0:i:0x81 -c copy -f ac3 " + dir.file("out.ac3")));
    EXPECT_EQ(readFileBytes(dir.file("out.m2v")), video);
    EXPECT_EQ(readFileBytes(dir.file("out.eac3")), eac3b);
    EXPECT_EQ(readFileBytes(dir.file("out.ac3")), ac3b);

    // A scan of the rebuilt file: the kept streams in the slots of their new ids, and the
    // system header's bounds as ticked.
    host.lines.clear();
    SourceFile scanned = SourceFile::open(rebuilt, ShareMode::Shared);
    demux(state, host, scanned, EngineMode::Scan);
    EXPECT_THAT(
        host.lines,
        ElementsAre("It contains 1 video stream and 2 audio streams.",
                    "MPEG-2 video stream 0 found!", "Dolby Digital Plus audio stream 0 found!",
                    "Dolby Digital audio stream 1 found!", "Subpicture stream 0 found!"));
    EXPECT_EQ(state.videoStreamIds[0], 0xE0);
    EXPECT_EQ(state.audioStreamIds[0], 0xC0);
    EXPECT_EQ(state.audioStreamIds[1], 0x81);
    EXPECT_EQ(state.subpictureStreamIds[0], 0x20);
    EXPECT_EQ(std::count_if(state.audioStreamIds.begin(), state.audioStreamIds.end(),
                            [](int32_t id) { return id >= 0; }),
              2);
    EXPECT_EQ(std::count_if(state.subpictureStreamIds.begin(), state.subpictureStreamIds.end(),
                            [](int32_t id) { return id >= 0; }),
              1);
    EXPECT_EQ(state.videoStreamIds[1], -1);
}

}  // namespace
}  // namespace morvale::testing
