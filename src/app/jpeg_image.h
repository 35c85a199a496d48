#pragma once

#include <cstddef>

#include <QImage>

namespace morvale {

extern const unsigned char kLogoJpeg[];
extern const std::size_t kLogoJpegSize;

// Decodes a baseline or progressive JPEG held in memory. A damaged or truncated picture
// gives a null image; the decoder never ends the program.
QImage decodeJpeg(const unsigned char* data, std::size_t size);

// The picture with every pixel of its bottom-left pixel's colour made transparent. JPEG
// keeps that colour only approximately, so channels within `tolerance` of it count too.
QImage withTransparentBackground(const QImage& picture, int tolerance = 12);

// The program's logo, decoded and with its background made transparent.
QImage logoPicture();

}  // namespace morvale
