// SPDX-License-Identifier: MIT
// A broken unit is malformed, with a reason, never a crash, a hang or a read outside it: each
// case breaks one field of a good unit of either layout.

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "sample_disc/hd_subpicture_unit.h"
#include "subtitles/unit_parser.h"

namespace morvale {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes goodDvdUnit() {
    sample::DvdPicture p;
    p.x = 8, p.y = 8, p.width = 64, p.height = 16;
    for (int i = 0; i < 64 * 16; ++i)
        p.codes.push_back(static_cast<uint8_t>(i / 5 % 4));
    p.contrasts = {0, 15, 15, 15};
    p.stopTicks = 90000;
    return sample::dvdSubpictureUnit(p);
}

Bytes goodHdUnit() {
    sample::HdPicture p;
    p.x = 8, p.y = 8, p.width = 64, p.height = 16;
    for (int i = 0; i < 64 * 16; ++i)
        p.pixels.push_back(static_cast<uint8_t>(i / 3));
    p.stopTicks = 90000;
    return sample::hdSubpictureUnit(p);
}

size_t big(const Bytes& u, size_t at, size_t n) {
    size_t v = 0;
    for (size_t i = 0; i < n; ++i)
        v = (v << 8) | u[at + i];
    return v;
}
void setBig(Bytes& u, size_t at, size_t n, size_t v) {
    for (size_t i = 0; i < n; ++i)
        u[at + i] = static_cast<uint8_t>(v >> (8 * (n - 1 - i)));
}
// Where the first control sequence of a unit lies, and its commands start.
size_t firstSequence(const Bytes& u, bool hd) {
    return hd ? big(u, 6, 4) : big(u, 2, 2);
}
size_t commands(const Bytes& u, bool hd) {
    return firstSequence(u, hd) + (hd ? 6 : 4);
}
// The argument bytes of the first command `code` of the first sequence.
size_t argumentsOf(const Bytes& u, bool hd, uint8_t code) {
    size_t at = commands(u, hd);
    while (u[at] != code)
        at +=
            1 + std::map<uint8_t, size_t>{{0x01, 0},   {0x03, 2},   {0x04, 2}, {0x05, 6}, {0x06, 4},
                                          {0x83, 768}, {0x84, 256}, {0x85, 6}, {0x86, 8}}
                    .at(u[at]);
    return at + 1;
}
void resize(Bytes& u, bool hd, size_t size) {
    u.resize(size);
    if (hd) {
        setBig(u, 2, 4, size);
    } else {
        setBig(u, 0, 2, size);
    }
}

struct MalformedCase {
    const char* name;
    bool hd;
    std::function<void(Bytes&)> breakIt;
};

TEST(UnitParser, BrokenUnitsAreMalformedWithAReason) {
    const std::vector<MalformedCase> cases = {
        {"first sequence beyond the unit", false, [](Bytes& u) { setBig(u, 2, 2, u.size() + 10); }},
        {"first sequence inside the header", true, [](Bytes& u) { setBig(u, 6, 4, 3); }},
        {"sequence chain loops back", false,
         [](Bytes& u) {
             const size_t second = big(u, firstSequence(u, false) + 2, 2);
             setBig(u, second + 2, 2, firstSequence(u, false));
         }},
        {"next sequence beyond the unit", true,
         [](Bytes& u) { setBig(u, firstSequence(u, true) + 2, 4, 0x7FFFFFFF); }},
        {"field offset beyond the unit", true,
         [](Bytes& u) { setBig(u, argumentsOf(u, true, 0x86), 4, u.size() + 1); }},
        {"runs past the end of a line", false,
         [](Bytes& u) { u[argumentsOf(u, false, 0x05) + 2] = 8 + 15; }},  // x2: 16 wide
        {"field data past the end of the unit", true,
         [](Bytes& u) { setBig(u, argumentsOf(u, true, 0x86) + 4, 4, u.size() - 2); }},
        {"area larger than a frame", false,
         [](Bytes& u) {
             const size_t a = argumentsOf(u, false, 0x05);
             u[a] = 0, u[a + 1] = 0x0F, u[a + 2] = 0xFF, u[a + 3] = 0, u[a + 4] = 0x0F;
             u[a + 5] = 0xFF;
         }},
        {"area ending before its start", true,
         [](Bytes& u) { u[argumentsOf(u, true, 0x85) + 2] = 0; }},
        {"palette cut off by the unit's end", true,
         [](Bytes& u) { resize(u, true, argumentsOf(u, true, 0x83) + 100); }},
        {"sequence without its end", false,
         [](Bytes& u) { resize(u, false, argumentsOf(u, false, 0x04) + 2); }},
        {"size field unlike the unit", false, [](Bytes& u) { setBig(u, 0, 2, u.size() - 1); }},
    };
    for (const MalformedCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes unit = c.hd ? goodHdUnit() : goodDvdUnit();
        ASSERT_TRUE(parseSubpictureUnit({unit, 0}, defaultDvdPalette()).event)
            << parseSubpictureUnit({unit, 0}, defaultDvdPalette()).malformed;
        c.breakIt(unit);
        const UnitParse parsed = parseSubpictureUnit({unit, 0}, defaultDvdPalette());
        EXPECT_FALSE(parsed.event);
        EXPECT_NE(parsed.malformed, "");
    }
}

}  // namespace
}  // namespace morvale
