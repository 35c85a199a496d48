#include "engine/picture_counter.h"

#include <cstring>

namespace morvale {

int countPictureStartCodesSimple(std::span<const uint8_t> piece, VideoKind kind) {
    const uint32_t code = pictureStartCode(kind);
    uint32_t reg = 0;
    int count = 0;
    for (uint8_t b : piece) {
        reg = (reg << 8) | b;
        if (reg == code) ++count;
    }
    return count;
}

int countPictureStartCodes(std::span<const uint8_t> piece, VideoKind kind) {
    const uint8_t codeByte = static_cast<uint8_t>(pictureStartCode(kind));
    const uint8_t* data = piece.data();
    const size_t n = piece.size();
    int count = 0;
    size_t from = 0;
    // Each match is a 0x01 at p with the code byte at p + 1 and zeros (real, or the
    // register's initial zeros before the piece) at p - 1 and p - 2.
    while (from + 1 < n) {
        const void* hit = std::memchr(data + from, 0x01, n - 1 - from);
        if (hit == nullptr) break;
        const size_t p = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
        if (data[p + 1] == codeByte && (p < 1 || data[p - 1] == 0) && (p < 2 || data[p - 2] == 0)) {
            ++count;
        }
        from = p + 1;
    }
    return count;
}

}  // namespace morvale
