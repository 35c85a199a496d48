// SPDX-License-Identifier: MIT
#include "engine/picture_counter.h"

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define MORVALE_X86_SEARCH 1
#endif

namespace morvale {

namespace {

using Search = int (*)(const uint8_t* data, size_t n, uint8_t codeByte);

// The three windows that begin in the stream's bytes before the piece (the low three bytes of
// the register, oldest first) and end in the piece. The searches count the windows that lie
// inside the piece.
int countAcrossStart(const uint8_t* data, size_t n, uint32_t carried, uint8_t codeByte) {
    if ((carried & 0xFFu) > 1) return 0;  // each of them needs a 00 or 01 last
    const uint8_t third = static_cast<uint8_t>(carried >> 16);
    const uint8_t second = static_cast<uint8_t>(carried >> 8);
    const uint8_t last = static_cast<uint8_t>(carried);
    int count = 0;
    if (n >= 1 && third == 0 && second == 0 && last == 1 && data[0] == codeByte) ++count;
    if (n >= 2 && second == 0 && last == 0 && data[0] == 0x01 && data[1] == codeByte) ++count;
    if (n >= 3 && last == 0 && data[0] == 0x00 && data[1] == 0x01 && data[2] == codeByte) {
        ++count;
    }
    return count;
}

// The register after the piece: its last four bytes, or as many as it has after the older ones.
uint32_t registerAfter(const uint8_t* data, size_t n, uint32_t carried) {
    if (n >= 4) {
        uint32_t last;
        std::memcpy(&last, data + n - 4, sizeof last);
        return __builtin_bswap32(last);  // the newest byte low, as the register holds it
    }
    for (size_t k = 0; k < n; ++k)
        carried = (carried << 8) | data[k];
    return carried;
}

// The windows data[s..s+3] that lie inside the piece, from s = from on.
int countInside(const uint8_t* data, size_t n, size_t from, uint8_t codeByte) {
    int count = 0;
    for (size_t s = from; s + 3 < n; ++s) {
        if (data[s] == 0 && data[s + 1] == 0 && data[s + 2] == 1 && data[s + 3] == codeByte) {
            ++count;
        }
    }
    return count;
}

int bitCount(uint32_t mask) {
    int count = 0;
    for (; mask != 0; mask &= mask - 1)
        ++count;  // matches are rare: a loop per match beats a table
    return count;
}

// Each match is a 0x01 at p with the code byte at p + 1 and zeros at p - 1 and p - 2.
int countWithMemchr(const uint8_t* data, size_t n, uint8_t codeByte) {
    int count = 0;
    size_t from = 2;
    while (from + 1 < n) {
        const void* hit = std::memchr(data + from, 0x01, n - 1 - from);
        if (hit == nullptr) break;
        const size_t p = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
        if (data[p + 1] == codeByte && data[p - 1] == 0 && data[p - 2] == 0) ++count;
        from = p + 1;
    }
    return count;
}

#if MORVALE_X86_SEARCH

// Sixteen windows at once: the bytes at s, s + 1, s + 2 and s + 3 of each window are four
// overlapping loads, compared with 00, 00, 01 and the code byte.
int countWithSse2(const uint8_t* data, size_t n, uint8_t codeByte) {
    constexpr size_t kWidth = 16;
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi8(1);
    const __m128i code = _mm_set1_epi8(static_cast<char>(codeByte));
    int count = 0;
    size_t s = 0;
    for (; s + kWidth + 3 <= n; s += kWidth) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + s));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + s + 1));
        const __m128i third = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + s + 2));
        const __m128i fourth = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + s + 3));
        const __m128i zeros = _mm_cmpeq_epi8(_mm_or_si128(first, second), zero);
        const __m128i tail =
            _mm_and_si128(_mm_cmpeq_epi8(third, one), _mm_cmpeq_epi8(fourth, code));
        count += bitCount(static_cast<uint32_t>(_mm_movemask_epi8(_mm_and_si128(zeros, tail))));
    }
    return count + countInside(data, n, s, codeByte);
}

// One bit for each of the windows s..s+31 that reads 00 00 01 and the code byte.
__attribute__((target("avx2"))) inline uint32_t avx2Matches(const uint8_t* data, size_t s,
                                                            __m256i one, __m256i code) {
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + s));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + s + 1));
    const __m256i third = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + s + 2));
    const __m256i fourth = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + s + 3));
    const __m256i zeros = _mm256_cmpeq_epi8(_mm256_or_si256(first, second), _mm256_setzero_si256());
    const __m256i tail =
        _mm256_and_si256(_mm256_cmpeq_epi8(third, one), _mm256_cmpeq_epi8(fourth, code));
    return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_and_si256(zeros, tail)));
}

// The same with 32 windows at once. The windows left at the end are taken by one more
// vector that ends with the piece, less the windows counted already.
__attribute__((target("avx2"))) int countWithAvx2(const uint8_t* data, size_t n, uint8_t codeByte) {
    constexpr size_t kWidth = 32;
    if (n < kWidth + 3) return countInside(data, n, 0, codeByte);
    const __m256i one = _mm256_set1_epi8(1);
    const __m256i code = _mm256_set1_epi8(static_cast<char>(codeByte));
    int count = 0;
    size_t s = 0;
    for (; s + kWidth + 3 <= n; s += kWidth)
        count += bitCount(avx2Matches(data, s, one, code));
    const size_t last = n - kWidth - 3;
    if (s > last) {
        const uint32_t counted = s - last == kWidth ? ~0u : (1u << (s - last)) - 1;
        count += bitCount(avx2Matches(data, last, one, code) & ~counted);
    }
    return count;
}

// The processor's features are read first, in case this runs before they are known.
bool avx2Available() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

#endif  // MORVALE_X86_SEARCH

Search searchFor(PictureSearch search) {
    switch (search) {
#if MORVALE_X86_SEARCH
        case PictureSearch::Avx2:
            return countWithAvx2;
        case PictureSearch::Sse2:
            return countWithSse2;
#endif
        default:
            return countWithMemchr;
    }
}

Search fastestSearch() {
#if MORVALE_X86_SEARCH
    return avx2Available() ? countWithAvx2 : countWithSse2;
#else
    return countWithMemchr;
#endif
}

uint8_t codeByteOf(VideoKind kind) {
    return static_cast<uint8_t>(pictureStartCode(kind));
}

// A search's count of the windows inside the piece, with those that reach back into the
// stream before it, and the register moved on.
[[gnu::always_inline]] inline int countContinuing(Search search, std::span<const uint8_t> piece,
                                                  VideoKind kind, uint32_t& carried) {
    const uint8_t codeByte = codeByteOf(kind);
    const int count = countAcrossStart(piece.data(), piece.size(), carried, codeByte) +
                      search(piece.data(), piece.size(), codeByte);
    carried = registerAfter(piece.data(), piece.size(), carried);
    return count;
}

}  // namespace

int countPictureStartCodesSimple(std::span<const uint8_t> piece, VideoKind kind,
                                 uint32_t& carried) {
    const uint32_t code = pictureStartCode(kind);
    uint32_t reg = carried;
    int count = 0;
    for (uint8_t b : piece) {
        reg = (reg << 8) | b;
        if (reg == code) ++count;
    }
    carried = reg;
    return count;
}

int countPictureStartCodesSimple(std::span<const uint8_t> piece, VideoKind kind) {
    uint32_t fresh = 0;
    return countPictureStartCodesSimple(piece, kind, fresh);
}

int countPictureStartCodes(std::span<const uint8_t> piece, VideoKind kind, uint32_t& carried) {
    static const Search fastest = fastestSearch();  // chosen once, on first use
    return countContinuing(fastest, piece, kind, carried);
}

int countPictureStartCodes(std::span<const uint8_t> piece, VideoKind kind) {
    uint32_t fresh = 0;
    return countPictureStartCodes(piece, kind, fresh);
}

bool pictureSearchAvailable(PictureSearch search) {
    switch (search) {
        case PictureSearch::Memchr:
            return true;
#if MORVALE_X86_SEARCH
        case PictureSearch::Sse2:
            return true;
        case PictureSearch::Avx2:
            return avx2Available();
#endif
        default:
            return false;
    }
}

int countPictureStartCodesWith(PictureSearch search, std::span<const uint8_t> piece, VideoKind kind,
                               uint32_t& carried) {
    return countContinuing(searchFor(search), piece, kind, carried);
}

int countPictureStartCodesWith(PictureSearch search, std::span<const uint8_t> piece,
                               VideoKind kind) {
    uint32_t fresh = 0;
    return countPictureStartCodesWith(search, piece, kind, fresh);
}

}  // namespace morvale
