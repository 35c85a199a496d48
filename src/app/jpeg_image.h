// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace morvale {

// The logo as drawn for 1x (125x31) and for higher scaling (250x62).
extern const unsigned char kLogoJpeg[];
extern const std::size_t kLogoJpegSize;
extern const unsigned char kLogo2xJpeg[];
extern const std::size_t kLogo2xJpegSize;

// Decodes a baseline or progressive JPEG held in memory. A damaged or truncated picture
// gives a null image; the decoder never ends the program.
QImage decodeJpeg(const unsigned char* data, std::size_t size);

// The picture with every pixel of its bottom-left pixel's colour made transparent. JPEG
// keeps that colour only approximately, so channels within `tolerance` of it count too.
QImage withTransparentBackground(const QImage& picture, int tolerance = 12);

// The program's logo, decoded and with its background made transparent.
QImage logoPicture();

// The logo for `size` logical pixels at a device pixel ratio: taken from the picture drawn
// for that many device pixels or from the larger one, scaled down, never up, so it stays
// sharp at 1x, 1.5x and 2x.
QPixmap logoPixmap(QSize size, double devicePixelRatio);

// The version of the JPEG library the program was built with.
QString jpegLibraryVersion();

}  // namespace morvale
