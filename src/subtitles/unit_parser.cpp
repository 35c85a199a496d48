// SPDX-License-Identifier: MIT
#include "subtitles/unit_parser.h"

#include <algorithm>
#include <array>

#include "subtitles/field_decoder.h"

namespace morvale {

namespace {

// The fields that differ between the two layouts.
struct LayoutFields {
    size_t offsetSize;     // first-sequence, next-sequence offsets
    size_t firstSequence;  // where the first sequence's offset lies
    size_t header;         // size and offset fields before anything else
};
constexpr LayoutFields kDvdFields{2, 2, 4};
constexpr LayoutFields kHdDvdFields{4, 6, 10};

enum Command : uint8_t {
    kForcedStart = 0x00,
    kStart = 0x01,
    kStop = 0x02,
    kSetColour = 0x03,
    kSetContrast = 0x04,
    kSetArea = 0x05,
    kSetFields = 0x06,
    kChangeColourContrast = 0x07,
    kSetHdPalette = 0x83,
    kSetHdTransparency = 0x84,
    kSetHdArea = 0x85,
    kSetHdFields = 0x86,
    kEnd = 0xFF,
};

// The bytes after each fixed-size command byte.
struct CommandSize {
    uint8_t command;
    uint16_t arguments;
};
constexpr std::array<CommandSize, 11> kCommandSizes = {{{kForcedStart, 0},
                                                        {kStart, 0},
                                                        {kStop, 0},
                                                        {kSetColour, 2},
                                                        {kSetContrast, 2},
                                                        {kSetArea, 6},
                                                        {kSetFields, 4},
                                                        {kSetHdPalette, 768},
                                                        {kSetHdTransparency, 256},
                                                        {kSetHdArea, 6},
                                                        {kSetHdFields, 8}}};

uint32_t readBig(std::span<const uint8_t> bytes, size_t at, size_t size) {
    uint32_t value = 0;
    for (size_t i = 0; i < size; ++i)
        value = (value << 8) | bytes[at + i];
    return value;
}

// What the commands have set so far; later sequences change it.
struct Settings {
    bool forced = false;
    std::array<uint8_t, 4> colourIndex{};
    std::array<uint8_t, 4> contrast{};
    std::array<uint8_t, 768> yCrCb{};
    std::array<uint8_t, 256> transparency{};
    bool hdPalette = false;
    std::optional<std::array<uint8_t, 6>> area;
    bool eightBit = false;
    std::optional<std::array<uint32_t, 2>> fields;
};

// What one sequence did.
struct SequenceEffect {
    bool start = false, stop = false, colours = false;
};

// Four nibbles, the first for pixel code 3.
std::array<uint8_t, 4> nibblesOf(const uint8_t* at) {
    return {static_cast<uint8_t>(at[1] & 0x0F), static_cast<uint8_t>(at[1] >> 4),
            static_cast<uint8_t>(at[0] & 0x0F), static_cast<uint8_t>(at[0] >> 4)};
}

void apply(uint8_t command, const uint8_t* args, Settings& s, SequenceEffect& effect) {
    switch (command) {
        case kForcedStart:
            s.forced = true;
            effect.start = true;
            break;
        case kStart:
            effect.start = true;
            break;
        case kStop:
            effect.stop = true;
            break;
        case kSetColour:
            s.colourIndex = nibblesOf(args);
            effect.colours = true;
            break;
        case kSetContrast:
            s.contrast = nibblesOf(args);
            effect.colours = true;
            break;
        case kSetArea:
        case kSetHdArea:
            s.area.emplace();
            std::copy(args, args + 6, s.area->begin());
            s.eightBit = command == kSetHdArea;
            break;
        case kSetFields:
            s.fields = std::array<uint32_t, 2>{readBig({args, 4}, 0, 2), readBig({args, 4}, 2, 2)};
            break;
        case kSetHdFields:
            s.fields = std::array<uint32_t, 2>{readBig({args, 8}, 0, 4), readBig({args, 8}, 4, 4)};
            break;
        case kSetHdPalette:
            std::copy(args, args + 768, s.yCrCb.begin());
            s.hdPalette = true;
            effect.colours = true;
            break;
        case kSetHdTransparency:
            std::copy(args, args + 256, s.transparency.begin());
            effect.colours = true;
            break;
        default:
            break;
    }
}

// Runs the commands of a sequence from `at` to its CMD_END. An unknown command ends the
// sequence, as decoders treat it; a command past the unit's end makes the unit malformed.
std::string runCommands(std::span<const uint8_t> unit, size_t at, Settings& s,
                        SequenceEffect& effect) {
    while (at < unit.size()) {
        const uint8_t command = unit[at++];
        if (command == kEnd) return {};
        size_t arguments = 0;
        if (command == kChangeColourContrast) {
            // Its own size, counting the two size bytes; passed over.
            if (unit.size() - at < 2) return "command past the end of the unit";
            arguments = readBig(unit, at, 2);
            if (arguments < 2) return "CHG_COLCON of a size below its own";
        } else {
            const auto* known =
                std::find_if(kCommandSizes.begin(), kCommandSizes.end(),
                             [&](const CommandSize& c) { return c.command == command; });
            if (known == kCommandSizes.end()) return {};
            arguments = known->arguments;
        }
        if (unit.size() - at < arguments) return "command past the end of the unit";
        apply(command, unit.data() + at, s, effect);
        at += arguments;
    }
    return "control sequence without its end";
}

Palette paletteOf(const Settings& s, const DvdPalette& dvd) {
    Palette palette{};
    if (!s.eightBit) {
        for (size_t code = 0; code < 4; ++code) {
            palette[code] = dvd[s.colourIndex[code]];
            palette[code].alpha = static_cast<uint8_t>(s.contrast[code] * 17);
        }
        return palette;
    }
    for (size_t i = 0; i < palette.size(); ++i)
        palette[i] = {s.yCrCb[3 * i], s.yCrCb[3 * i + 1], s.yCrCb[3 * i + 2],
                      static_cast<uint8_t>(255 - s.transparency[i])};
    return palette;
}

// The bitmap of both fields over the area in force, into the event.
std::string decodePicture(std::span<const uint8_t> unit, const Settings& s, DisplayEvent& e) {
    const auto& a = *s.area;
    const int x1 = (a[0] << 4) | (a[1] >> 4), x2 = ((a[1] & 0x0F) << 8) | a[2];
    const int y1 = (a[3] << 4) | (a[4] >> 4), y2 = ((a[4] & 0x0F) << 8) | a[5];
    if (x2 < x1 || y2 < y1) return "display area ends before it starts";
    e.area = {x1, y1, x2 - x1 + 1, y2 - y1 + 1};
    if (int64_t{e.area.width} * e.area.height > kMaxAreaPixels)
        return "display area larger than any video frame";
    if (s.eightBit && !s.hdPalette) return "8-bit picture without a palette";
    e.eightBit = s.eightBit;
    e.pixels.assign(static_cast<size_t>(e.area.width) * static_cast<size_t>(e.area.height), 0);
    const RunCode code = s.eightBit ? RunCode::HdDvdBits : RunCode::DvdNibbles;
    for (int field = 0; field < 2; ++field) {
        std::string broken = decodeField(unit, (*s.fields)[field], code, e.area.width,
                                         e.area.height, field, e.pixels);
        if (!broken.empty()) return broken;
    }
    return {};
}

struct Walk {
    std::optional<int64_t> start, stop;
    Settings atStart;
    std::vector<PaletteStep> fades;
};

// Follows the chain of control sequences; each one must lie further on than the one before,
// so the walk ends within the unit.
std::string walkSequences(const SubpictureUnit& unit, const LayoutFields& f, const DvdPalette& dvd,
                          Walk& walk) {
    std::span<const uint8_t> bytes = unit.bytes;
    size_t at = readBig(bytes, f.firstSequence, f.offsetSize);
    if (at < f.header) return "first control sequence inside the unit header";
    Settings s;
    for (;;) {
        if (at >= bytes.size() || bytes.size() - at < 2 + f.offsetSize)
            return "control sequence outside the unit";
        const int64_t time = unit.pts + int64_t{readBig(bytes, at, 2)} * 1024;
        const size_t next = readBig(bytes, at + 2, f.offsetSize);
        SequenceEffect effect;
        std::string broken = runCommands(bytes, at + 2 + f.offsetSize, s, effect);
        if (!broken.empty()) return broken;
        if (!walk.start && effect.start) {
            walk.start = time;
            walk.atStart = s;
        } else if (walk.start && !walk.stop && effect.colours) {
            walk.fades.push_back({time, paletteOf(s, dvd)});
        }
        // A stop dated before the start (delays going back) leaves no time to show.
        if (walk.start && !walk.stop && effect.stop) walk.stop = std::max(time, *walk.start);
        if (next == at) return {};
        if (next < at) return "control sequence chain goes backwards";
        at = next;
    }
}

// Steps that change nothing, or fall outside the display (before its start or a step before
// them, at or after its stop), are no fade.
void dropIdleSteps(DisplayEvent& event) {
    std::vector<PaletteStep> kept;
    kept.reserve(event.fades.size());  // `last` points into it
    const Palette* last = &event.palette;
    int64_t after = event.start;
    for (PaletteStep& step : event.fades) {
        if (step.time < after || (event.stop && step.time >= *event.stop)) continue;
        if (step.palette == *last) continue;
        after = step.time;
        kept.push_back(std::move(step));
        last = &kept.back().palette;
    }
    event.fades = std::move(kept);
}

}  // namespace

UnitParse parseSubpictureUnit(const SubpictureUnit& unit, const DvdPalette& palette) {
    const SpuLayout layout = unit.layout();
    const LayoutFields& f = layout == SpuLayout::Dvd ? kDvdFields : kHdDvdFields;
    const std::optional<UnitSize> size = declaredUnitSize(unit.bytes);
    if (!size || size->size != unit.bytes.size() || unit.bytes.size() < f.header)
        return {std::nullopt, "unit size does not match its bytes"};
    Walk walk;
    std::string broken = walkSequences(unit, f, palette, walk);
    if (!broken.empty()) return {std::nullopt, broken};
    const Settings& s = walk.atStart;
    if (!walk.start || !s.area || !s.fields) return {};
    DisplayEvent event;
    event.start = *walk.start;
    event.stop = walk.stop;
    event.forced = s.forced;
    event.layout = layout;
    event.colourIndex = s.colourIndex;
    event.contrast = s.contrast;
    broken = decodePicture(unit.bytes, s, event);
    if (!broken.empty()) return {std::nullopt, broken};
    event.palette = paletteOf(s, palette);
    event.fades = std::move(walk.fades);
    dropIdleSteps(event);
    return {std::move(event), {}};
}

}  // namespace morvale
