#include "sample_subtitles.h"

#include <algorithm>
#include <cmath>

#include "hd_subpicture_unit.h"
#include "subpicture_unit.h"

namespace morvale::sample {

namespace {

constexpr uint8_t kClear = 0;
constexpr uint8_t kOutline = 1;
constexpr uint8_t kFirstColour = 2;
constexpr int kColours = 256 - kFirstColour;
constexpr int kBorder = 3;

// Video-range BT.601 Y, Cr, Cb of an R'G'B' colour.
void putYCrCb(std::array<uint8_t, 768>& palette, size_t index, double r, double g, double b) {
    const double y = 0.299 * r + 0.587 * g + 0.114 * b;
    const auto clamp = [](double v) {
        return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
    };
    palette[3 * index] = clamp(16 + y * 219 / 255);
    palette[3 * index + 1] = clamp(128 + (r - y) / 1.402 * 224 / 255);
    palette[3 * index + 2] = clamp(128 + (b - y) / 1.772 * 224 / 255);
}

// Index 0 clear, 1 a near-black outline, then a colour wheel.
HdPicture paletteOnly() {
    HdPicture p;
    putYCrCb(p.yCrCb, kClear, 0, 0, 0);
    putYCrCb(p.yCrCb, kOutline, 16, 16, 16);
    for (int i = 0; i < kColours; ++i) {
        const double hue = 6.0 * i / kColours;
        const double rise = hue - std::floor(hue);
        const double channel[6][3] = {{1, rise, 0},     {1 - rise, 1, 0}, {0, 1, rise},
                                      {0, 1 - rise, 1}, {rise, 0, 1},     {1, 0, 1 - rise}};
        const double* rgb = channel[static_cast<int>(hue) % 6];
        putYCrCb(p.yCrCb, kFirstColour + static_cast<size_t>(i), 60 + 195 * rgb[0],
                 60 + 195 * rgb[1], 60 + 195 * rgb[2]);
    }
    p.transparency.fill(0);
    p.transparency[kClear] = 255;
    return p;
}

// A bordered bar whose colours run along it, from `hue` on.
HdPicture bar(const CaptionBar& at, int hue) {
    HdPicture p = paletteOnly();
    p.x = at.x, p.y = at.y, p.width = at.width, p.height = at.height;
    p.pixels.resize(static_cast<size_t>(at.width) * at.height);
    for (int y = 0; y < at.height; ++y) {
        for (int x = 0; x < at.width; ++x) {
            const bool edge =
                x < kBorder || y < kBorder || x >= at.width - kBorder || y >= at.height - kBorder;
            p.pixels[static_cast<size_t>(y) * at.width + x] = static_cast<uint8_t>(
                edge ? kOutline : kFirstColour + (hue + x * kColours / at.width) % kColours);
        }
    }
    return p;
}

// Neighbours always differ, so that each pixel needs a code of its own (10 bits).
HdPicture colourField() {
    const CaptionBar at{kCaptionBar.x, kCaptionBar.y - 64, kCaptionBar.width, 128};
    HdPicture p = paletteOnly();
    p.x = at.x, p.y = at.y, p.width = at.width, p.height = at.height;
    p.pixels.resize(static_cast<size_t>(at.width) * at.height);
    for (int y = 0; y < at.height; ++y)
        for (int x = 0; x < at.width; ++x)
            p.pixels[static_cast<size_t>(y) * at.width + x] =
                static_cast<uint8_t>(kFirstColour + (7 * x + 13 * y) % kColours);
    return p;
}

// Fully clear at the start, opaque after a quarter and a half second.
void fadeIn(HdPicture& p) {
    const uint8_t steps[3] = {170, 85, 0};
    const auto at = [&](uint8_t visible) {
        std::array<uint8_t, 256> transparency;
        transparency.fill(visible);
        transparency[kClear] = 255;
        return transparency;
    };
    p.transparency = at(steps[0]);
    p.fades = {{kClock / 4, at(steps[1])}, {kClock / 2, at(steps[2])}};
}

}  // namespace

std::vector<Bytes> englishSubpictureUnits(size_t count, uint64_t durationTicks) {
    std::vector<Bytes> units;
    for (size_t k = 0; k < count; ++k) {
        HdPicture p = k == 3 ? colourField() : bar(kCaptionBar, static_cast<int>(k) * 50);
        if (k == 1) fadeIn(p);
        p.forced = k == 2;
        p.stopTicks = durationTicks;
        units.push_back(hdSubpictureUnit(p));
    }
    return units;
}

Bytes deutschSubpictureUnit(uint64_t durationTicks) {
    return subpictureUnit({kCaptionBar.x, kCaptionBar.y, kCaptionBar.width, kCaptionBar.height, 3},
                          durationTicks);
}

}  // namespace morvale::sample
