// SPDX-License-Identifier: MIT
#include "subtitles/colour_matrix.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace morvale {

namespace {

struct Weights {
    double kr, kb;
};
// Luma weights of red and blue (green is the rest).
constexpr Weights weightsOf(ColourMatrix matrix) {
    return matrix == ColourMatrix::Bt601 ? Weights{0.299, 0.114} : Weights{0.2126, 0.0722};
}

struct RgbReal {
    double r, g, b;
};
struct YCrCbReal {
    double y, cr, cb;
};

// Video range: Y 16-235, Cr and Cb 16-240 around 128; R'G'B' 0-255.
RgbReal toRgb(YCrCbReal c, ColourMatrix matrix) {
    const Weights w = weightsOf(matrix);
    const double luma = (c.y - 16) * 255.0 / 219.0;
    const double r = luma + (c.cr - 128) * 255.0 / 224.0 * 2 * (1 - w.kr);
    const double b = luma + (c.cb - 128) * 255.0 / 224.0 * 2 * (1 - w.kb);
    const double g = (luma - w.kr * r - w.kb * b) / (1 - w.kr - w.kb);
    return {r, g, b};
}

YCrCbReal toYCrCb(RgbReal c, ColourMatrix matrix) {
    const Weights w = weightsOf(matrix);
    const double luma = w.kr * c.r + (1 - w.kr - w.kb) * c.g + w.kb * c.b;
    return {16 + luma * 219.0 / 255.0, 128 + (c.r - luma) * 224.0 / 255.0 / (2 * (1 - w.kr)),
            128 + (c.b - luma) * 224.0 / 255.0 / (2 * (1 - w.kb))};
}

double clip(double v) {
    return std::clamp(v, 0.0, 255.0);
}
uint8_t byteOf(double v) {
    return static_cast<uint8_t>(std::lround(clip(v)));
}

double distance(RgbReal a, RgbReal b) {
    return std::max({std::abs(clip(a.r) - clip(b.r)), std::abs(clip(a.g) - clip(b.g)),
                     std::abs(clip(a.b) - clip(b.b))});
}

}  // namespace

Rgb rgbOf(const PaletteEntry& colour, ColourMatrix matrix) {
    const RgbReal c = toRgb({double(colour.y), double(colour.cr), double(colour.cb)}, matrix);
    return {byteOf(c.r), byteOf(c.g), byteOf(c.b)};
}

PaletteEntry yCrCbOf(Rgb colour, ColourMatrix matrix, uint8_t alpha) {
    const YCrCbReal c = toYCrCb({double(colour.r), double(colour.g), double(colour.b)}, matrix);
    return {byteOf(c.y), byteOf(c.cr), byteOf(c.cb), alpha};
}

PaletteEntry convertMatrix(const PaletteEntry& colour, ColourMatrix from, ColourMatrix to) {
    if (from == to) return colour;
    const RgbReal target = toRgb({double(colour.y), double(colour.cr), double(colour.cb)}, from);
    const YCrCbReal exact = toYCrCb({clip(target.r), clip(target.g), clip(target.b)}, to);
    PaletteEntry best = colour;
    double bestDistance = 1e9;
    for (int corner = 0; corner < 8; ++corner) {
        const double y = clip((corner & 1) ? std::ceil(exact.y) : std::floor(exact.y));
        const double cr = clip((corner & 2) ? std::ceil(exact.cr) : std::floor(exact.cr));
        const double cb = clip((corner & 4) ? std::ceil(exact.cb) : std::floor(exact.cb));
        const double d = distance(toRgb({y, cr, cb}, to), target);
        if (d < bestDistance) {
            bestDistance = d;
            best = {static_cast<uint8_t>(y), static_cast<uint8_t>(cr), static_cast<uint8_t>(cb),
                    colour.alpha};
        }
    }
    return best;
}

}  // namespace morvale
