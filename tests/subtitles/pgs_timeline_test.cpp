// SPDX-License-Identifier: MIT
// Where the PGS writer puts each display set on the output timeline: shows at the starts,
// palette updates at the fade steps, clears at the stops or at the next start, times less the
// offset; events it cannot write are counted, not written.

#include <gtest/gtest.h>

#include <string>

#include "subtitles/pgs_reader.h"
#include "subtitles/pgs_writer.h"

namespace morvale {
namespace {

DisplayEvent event(int64_t start, std::optional<int64_t> stop, std::vector<int64_t> steps = {}) {
    DisplayEvent e;
    e.start = start;
    e.stop = stop;
    e.area = {10, 10, 4, 2};
    e.pixels = {1, 1, 2, 2, 0, 1, 2, 3};
    e.palette[1].alpha = 255;
    for (int64_t t : steps) {
        e.fades.push_back({t, e.palette});
        e.fades.back().palette[1].alpha = static_cast<uint8_t>(t % 251);
    }
    return e;
}

// "S1000 U2000 C3000": show, palette update, clear, with their PTS.
std::string timeline(const std::vector<uint8_t>& sup) {
    std::string text;
    for (const PgsDisplaySet& set : readPgs(sup).sets) {
        const char kind = set.composition.empty() ? 'C' : set.paletteUpdate ? 'U' : 'S';
        text += (text.empty() ? "" : " ") + std::string(1, kind) + std::to_string(set.pts);
    }
    return text;
}

struct TimelineCase {
    const char* name;
    std::vector<DisplayEvent> events;
    int64_t offset;
    std::optional<int64_t> end;
    std::string expected;
    uint64_t skipped;
};

TEST(PgsTimeline, DisplaySetsFallWhereTheEventsSay) {
    DisplayEvent offCanvas = event(1000, 2000);
    offCanvas.area.x = 800;
    const int64_t beyond = int64_t{1} << 32;
    const std::vector<TimelineCase> cases = {
        {"show and stop", {event(1000, 2000)}, 0, {}, "S1000 C2000", 0},
        {"no stop: until the next start",
         {event(1000, {}), event(3000, 4000)},
         0,
         {},
         "S1000 C3000 S3000 C4000",
         0},
        {"stop after the next start",
         {event(1000, 5000), event(3000, 4000)},
         0,
         {},
         "S1000 C3000 S3000 C4000",
         0},
        {"last one without a stop: until the end", {event(1000, {})}, 0, 9000, "S1000 C9000", 0},
        {"the end does not cut a stop", {event(1000, 2000)}, 0, 1500, "S1000 C2000", 0},
        {"offset", {event(1000, 2000)}, 500, {}, "S500 C1500", 0},
        {"starting before zero", {event(1000, 2000)}, 1500, {}, "S0 C500", 0},
        {"over before zero", {event(1000, 2000)}, 3000, {}, "", 1},
        {"starting beyond 32 bits", {event(beyond + 10, beyond + 20)}, 0, {}, "", 1},
        {"ending beyond 32 bits",
         {event(beyond - 10, beyond + 20)},
         0,
         {},
         "S4294967286 C4294967295",
         0},
        {"out of order", {event(3000, 4000), event(1000, 2000)}, 0, {}, "S3000 C4000", 1},
        {"fade", {event(1000, 4000, {2000, 3000})}, 0, {}, "S1000 U2000 U3000 C4000", 0},
        {"fade cut by the next start",
         {event(1000, {}, {2000, 3500}), event(3000, 4000)},
         0,
         {},
         "S1000 U2000 C3000 S3000 C4000",
         0},
        {"off the canvas", {offCanvas}, 0, {}, "", 1},
        {"no time to show", {event(1000, 1000)}, 0, {}, "", 1},
    };
    for (const TimelineCase& c : cases) {
        SCOPED_TRACE(c.name);
        MemorySink sink;
        PgsWriter writer(sink, {720, 576, c.offset, ColourMatrix::Bt601});
        for (const DisplayEvent& e : c.events)
            writer.add(e);
        writer.finish(c.end);
        EXPECT_EQ(timeline(sink.bytes()), c.expected);
        EXPECT_EQ(writer.counts().skipped(), c.skipped);
        EXPECT_EQ(readPgs(sink.bytes()).error, "");
    }
}

}  // namespace
}  // namespace morvale
