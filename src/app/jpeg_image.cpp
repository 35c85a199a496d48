// SPDX-License-Identifier: MIT
#include "app/jpeg_image.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <jpeglib.h>

namespace morvale {

namespace {

// libjpeg's own error handler prints and exits; this one jumps back to the decoder.
struct JpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

void leaveDecoder(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrorManager*>(info->err);
    std::longjmp(errors->escape, 1);
}

void ignoreMessage(j_common_ptr) {}

// Everything the decoder changes after setjmp lives behind one pointer that itself never
// changes, so nothing is left in an indeterminate state by the jump.
struct Decoding {
    jpeg_decompress_struct info{};
    JpegErrorManager errors{};
    std::vector<unsigned char> rgb;
    int width = 0;
    int height = 0;
};

}  // namespace

QImage decodeJpeg(const unsigned char* data, std::size_t size) {
    if (data == nullptr || size == 0) return {};
    auto decoding = std::make_unique<Decoding>();
    Decoding* d = decoding.get();
    d->info.err = jpeg_std_error(&d->errors.base);
    d->errors.base.error_exit = leaveDecoder;
    d->errors.base.output_message = ignoreMessage;
    if (setjmp(d->errors.escape) != 0) {
        jpeg_destroy_decompress(&d->info);
        return {};
    }
    jpeg_create_decompress(&d->info);
    jpeg_mem_src(&d->info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&d->info, TRUE);
    d->info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d->info);
    d->width = static_cast<int>(d->info.output_width);
    d->height = static_cast<int>(d->info.output_height);
    const std::size_t stride = static_cast<std::size_t>(d->width) * 3;
    d->rgb.resize(stride * static_cast<std::size_t>(d->height));
    while (d->info.output_scanline < d->info.output_height) {
        JSAMPROW row = d->rgb.data() + stride * d->info.output_scanline;
        jpeg_read_scanlines(&d->info, &row, 1);
    }
    jpeg_finish_decompress(&d->info);
    jpeg_destroy_decompress(&d->info);

    QImage image(d->width, d->height, QImage::Format_RGB888);
    for (int y = 0; y < d->height; ++y) {
        std::copy_n(d->rgb.data() + stride * static_cast<std::size_t>(y), stride,
                    image.scanLine(y));
    }
    return image;
}

QImage withTransparentBackground(const QImage& picture, int tolerance) {
    if (picture.isNull()) return picture;
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = image.pixel(0, image.height() - 1);
    auto near = [&](int a, int b) { return std::abs(a - b) <= tolerance; };
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            if (near(qRed(p), qRed(key)) && near(qGreen(p), qGreen(key)) &&
                near(qBlue(p), qBlue(key))) {
                line[x] = qRgba(0, 0, 0, 0);
            }
        }
    }
    return image;
}

QImage logoPicture() {
    return withTransparentBackground(decodeJpeg(kLogoJpeg, kLogoJpegSize));
}

QPixmap logoPixmap(QSize size, double devicePixelRatio) {
    const QSize device = (QSizeF(size) * devicePixelRatio).toSize();
    QImage picture = logoPicture();
    if (device.width() > picture.width() || device.height() > picture.height()) {
        picture = withTransparentBackground(decodeJpeg(kLogo2xJpeg, kLogo2xJpegSize));
    }
    if (picture.isNull()) return {};
    if (picture.size() != device) {
        picture = picture.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    QPixmap pixmap = QPixmap::fromImage(picture);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QString jpegLibraryVersion() {
#ifdef LIBJPEG_TURBO_VERSION_NUMBER
    constexpr int kNumber = LIBJPEG_TURBO_VERSION_NUMBER;  // major * 1000000 + minor * 1000 + patch
    return QStringLiteral("libjpeg-turbo %1.%2.%3")
        .arg(kNumber / 1000000)
        .arg(kNumber / 1000 % 1000)
        .arg(kNumber % 1000);
#else
    return QStringLiteral("libjpeg %1").arg(JPEG_LIB_VERSION);
#endif
}

}  // namespace morvale
