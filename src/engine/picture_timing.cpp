// SPDX-License-Identifier: MIT
#include "engine/picture_timing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "reports/header_reading.h"

namespace morvale {

namespace {

constexpr uint8_t kMpegPicture = 0x00;
constexpr uint8_t kMpegSequence = 0xB3;
constexpr uint8_t kMpegExtension = 0xB5;
constexpr uint8_t kMpegGroup = 0xB8;
constexpr uint8_t kMpegBPicture = 3;
constexpr uint8_t kPictureCodingExtension = 8;
constexpr uint8_t kFramePicture = 3;
constexpr int64_t kTemporalReferenceWrap = 512;  // half of its 10-bit range

constexpr uint8_t kVc1Frame = 0x0D;
constexpr uint8_t kVc1EntryPoint = 0x0E;
constexpr uint8_t kVc1Sequence = 0x0F;

constexpr uint8_t kH264Slice = 1;
constexpr uint8_t kH264IdrSlice = 5;
constexpr uint8_t kH264Sei = 6;
constexpr uint8_t kH264Sps = 7;
constexpr uint8_t kH264Pps = 8;
constexpr uint8_t kH264Delimiter = 9;

bool isMpegVideo(StreamFormat format) {
    return format == StreamFormat::Mpeg2Video;
}

// The picture order count of a type 0 slice (ISO/IEC 14496-10 8.2.1.1), given the previous
// reference picture's most and least significant parts.
int64_t pocMsbOf(int64_t lsb, int64_t prevLsb, int64_t prevMsb, int64_t maxLsb) {
    if (lsb < prevLsb && prevLsb - lsb >= maxLsb / 2) return prevMsb + maxLsb;
    if (lsb > prevLsb && lsb - prevLsb > maxLsb / 2) return prevMsb - maxLsb;
    return prevMsb;
}

}  // namespace

// The bytes between the 0x01 bytes pass in one step; each 0x01 after two zeros makes the
// next byte a start code. While a header is gathered its bytes are kept, the next start
// code's prefix included (the header readers stop there).
void PictureTimer::feed(std::span<const uint8_t> bytes, bool firstOfPacket,
                        std::optional<uint32_t> pts) {
    if (firstOfPacket) {
        packetPts_.reset();
        if (pts) {
            const int64_t unwrapped =
                lastPts_ ? *lastPts_ + static_cast<int32_t>(*pts - lastRawPts_) : int64_t{0};
            if (!lastPts_) firstRawPts_ = *pts;
            lastPts_ = unwrapped;
            lastRawPts_ = *pts;
            packetPts_ = unwrapped;
        }
    }
    const uint8_t* data = bytes.data();
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        if (codeNext_) {
            codeNext_ = false;
            if (gathering_) endHeader();
            startCode(data[i]);
            register_ = (register_ << 8) | data[i];
            ++i;
            continue;
        }
        const void* found = std::memchr(data + i, 0x01, n - i);
        const size_t one = found ? static_cast<size_t>(static_cast<const uint8_t*>(found) - data) : n;
        const size_t stretch = std::min(one + (found ? 1 : 0), n) - i;
        if (gathering_) {
            const size_t take = std::min(stretch, header_.size() - gathered_);
            std::memcpy(header_.data() + gathered_, data + i, take);
            gathered_ += take;
            if (gathered_ == header_.size()) endHeader();
        }
        if (!found) {
            for (size_t k = std::max(i, n >= 3 ? n - 3 : 0); k < n; ++k)
                register_ = (register_ << 8) | data[k];
            break;
        }
        // The two bytes before the 0x01, from this piece or the register.
        for (size_t k = one >= i + 2 ? one - 2 : i; k <= one; ++k)
            register_ = (register_ << 8) | data[k];
        codeNext_ = (register_ & 0xFFFFFF) == 0x000001;
        i = one + 1;
    }
}

// The headers before a picture (sequence and group headers, an H.264 delimiter or parameter
// sets) belong to its access unit, which so begins where the first of them does.
void PictureTimer::startCode(uint8_t code) {
    gathered_ = 0;
    gathering_.reset();
    if (isMpegVideo(format_)) {
        if (code == kMpegGroup || code == kMpegSequence) {
            ++group_;
            beginAccessUnit();
        }
        if (code == kMpegPicture || code == kMpegExtension) gathering_ = code;
    } else if (format_ == StreamFormat::Vc1Video) {
        if (code == kVc1Sequence || code == kVc1EntryPoint) beginAccessUnit();
        if (code == kVc1Frame || code == kVc1Sequence) gathering_ = code;
    } else if (format_ == StreamFormat::H264Video) {
        const uint8_t type = code & 0x1F;
        if (type == kH264Delimiter) {
            beginAccessUnit();
            newPicture(0, 2, true);
            accessUnitOpen_ = true;
            return;
        }
        if (type == kH264Sei || type == kH264Sps || type == kH264Pps) {
            if (!accessUnitOpen_) beginAccessUnit();
        }
        if (type == kH264Sps || type == kH264Pps || type == kH264Slice || type == kH264IdrSlice) {
            gathering_ = code;
        }
    }
}

// A PTS belongs to the first access unit that begins in its packet.
void PictureTimer::beginAccessUnit() {
    if (unitBegun_) return;
    unitBegun_ = true;
    unitPts_ = packetPts_;
    packetPts_.reset();
}

void PictureTimer::endHeader() {
    const uint8_t code = *gathering_;
    gathering_.reset();
    const std::span<const uint8_t> header(header_.data(), gathered_);
    if (isMpegVideo(format_)) {
        code == kMpegPicture ? mpegPicture(header) : mpegExtension(header);
    } else if (format_ == StreamFormat::Vc1Video) {
        if (code == kVc1Sequence) {
            interlace_ = readVc1SequenceHeader(header).interlace;
        } else {
            vc1Frame(header);
        }
    } else {
        h264Nal(code, header);
    }
}

void PictureTimer::finish() {
    if (gathering_) endHeader();
}

// A picture takes the PTS of the packet its access unit began in, when it was the first to
// begin there.
void PictureTimer::newPicture(int64_t rank, uint8_t fields, bool anchor) {
    Picture picture{kNoPts, rank, group_, fields, anchor, false};
    const std::optional<int64_t> pts = unitBegun_ ? unitPts_ : packetPts_;
    if (!unitBegun_) packetPts_.reset();
    unitBegun_ = false;
    if (pts) picture.pts = *pts;
    pictures_.push_back(picture);
}

void PictureTimer::mpegPicture(std::span<const uint8_t> header) {
    BitReader r(header);
    const int64_t temporalReference = r.bits(10);
    const uint32_t codingType = r.bits(3);
    if (r.overrun()) return;
    // Without group headers the reference counts on modulo 1024.
    if (!pictures_.empty() && pictures_.back().group == group_ &&
        temporalReference < pictures_.back().rank - kTemporalReferenceWrap) {
        ++group_;
    }
    newPicture(temporalReference, 2, codingType != kMpegBPicture);
}

// The picture coding extension: a field picture shows one field, and the second field of a
// pair is part of the first's picture; a repeated first field shows three.
void PictureTimer::mpegExtension(std::span<const uint8_t> header) {
    BitReader r(header);
    if (r.bits(4) != kPictureCodingExtension || pictures_.empty()) return;
    r.skip(16 + 2);  // f_codes, intra_dc_precision
    const uint32_t structure = r.bits(2);
    r.skip(6);  // top_field_first ... alternate_scan
    const bool repeatFirstField = r.flag();
    if (r.overrun()) return;
    Picture& picture = pictures_.back();
    if (structure == kFramePicture) {
        picture.fields = repeatFirstField ? 3 : 2;
        return;
    }
    const size_t count = pictures_.size();
    if (count >= 2 && pictures_[count - 2].pairable && pictures_[count - 2].group == picture.group &&
        pictures_[count - 2].rank == picture.rank) {
        Picture& first = pictures_[count - 2];
        if (first.pts == kNoPts) first.pts = picture.pts;
        first.fields = 2;
        first.pairable = false;
        pictures_.pop_back();
        return;
    }
    picture.fields = 1;
    picture.pairable = true;
}

// FCM (interlaced sequences), then PTYPE (0 P, 10 B, 110 I, 1110 BI, 1111 skipped) or, for a
// field-interlaced frame, FPTYPE (the first field I or P: 000-011).
void PictureTimer::vc1Frame(std::span<const uint8_t> header) {
    BitReader r(header, BitReader::Layout::Unit);
    bool fieldInterlaced = false;
    if (interlace_ && r.flag()) fieldInterlaced = r.flag();
    bool anchor = true;
    if (fieldInterlaced) {
        anchor = r.bits(3) < 4;
    } else {
        int ones = 0;
        while (ones < 4 && r.flag())
            ++ones;
        anchor = ones == 0 || ones == 2 || ones == 4;  // P, I, skipped
    }
    if (r.overrun() && !r.cut()) return;
    newPicture(decodeIndex_++, 2, anchor);
}

void PictureTimer::h264Nal(uint8_t nalHeader, std::span<const uint8_t> header) {
    const uint8_t type = nalHeader & 0x1F;
    if (type == kH264Sps) {
        const H264SequenceParameters sps = readH264SequenceParameters(header);
        if (sps.has(H264SequencePart::Level) && sps.spsId < sps_.size()) sps_[sps.spsId] = sps;
        return;
    }
    if (type == kH264Pps) {
        BitReader r(header, BitReader::Layout::Unit);
        const uint32_t ppsId = r.unsignedGolomb();
        H264Pps pps;
        pps.spsId = r.unsignedGolomb();
        r.skip(1);  // entropy_coding_mode_flag
        pps.bottomFieldPicOrder = r.flag();
        if (!r.overrun() && ppsId < pps_.size()) pps_[ppsId] = pps;
        return;
    }
    h264Slice(nalHeader, header);
}

}  // namespace morvale

namespace morvale {

// The first slice of a picture (first_mb_in_slice 0) gives it its place: its picture order
// count, or its decoding order when the count follows it. The second field of a pair joins
// the first field's picture.
void PictureTimer::h264Slice(uint8_t nalHeader, std::span<const uint8_t> header) {
    BitReader r(header, BitReader::Layout::Unit);
    if (r.unsignedGolomb() != 0) return;  // not the picture's first slice
    r.unsignedGolomb();                   // slice_type
    const uint32_t ppsId = r.unsignedGolomb();
    if (ppsId >= pps_.size() || !pps_[ppsId] || pps_[ppsId]->spsId >= sps_.size() ||
        !sps_[pps_[ppsId]->spsId]) {
        return;  // no parameter sets seen: no picture to place
    }
    const H264SequenceParameters& sps = *sps_[pps_[ppsId]->spsId];
    if (sps.separateColourPlane) r.skip(2);
    const uint32_t frameNum = r.bits(sps.log2MaxFrameNum);
    bool field = false, bottom = false;
    if (!sps.frameMbsOnly) {
        field = r.flag();
        if (field) bottom = r.flag();
    }
    const bool idr = (nalHeader & 0x1F) == kH264IdrSlice;
    if (idr) r.unsignedGolomb();  // idr_pic_id
    const int64_t lsb = sps.pocType == 0 ? r.bits(sps.log2MaxPocLsb) : 0;
    if (r.overrun() && r.cut()) return;

    const bool opened = accessUnitOpen_;
    accessUnitOpen_ = false;
    if (!opened) newPicture(0, 2, true);
    const size_t count = pictures_.size();
    if (field && count >= 2 && pictures_[count - 2].pairable && frameNum == lastFrameNum_ &&
        bottom != lastBottom_) {
        Picture& first = pictures_[count - 2];
        if (first.pts == kNoPts) first.pts = pictures_.back().pts;
        first.fields = 2;
        first.pairable = false;
        pictures_.pop_back();
        return;
    }
    if (idr) {
        ++group_;
        prevPocMsb_ = prevPocLsb_ = 0;
    }
    int64_t rank = decodeIndex_++;
    if (sps.pocType == 0) {
        const int64_t msb = pocMsbOf(lsb, prevPocLsb_, prevPocMsb_, int64_t{1} << sps.log2MaxPocLsb);
        rank = msb + lsb;
        if ((nalHeader & 0x60) != 0) {  // nal_ref_idc: a reference picture
            prevPocMsb_ = msb;
            prevPocLsb_ = lsb;
        }
    }
    Picture& picture = pictures_.back();
    picture.rank = rank;
    picture.group = group_;
    picture.fields = field ? 1 : 2;
    picture.pairable = field;
    lastFrameNum_ = frameNum;
    lastBottom_ = bottom;
}

// Decoding positions in display order: by group and rank, or for VC-1 each B picture where it
// is decoded and each I or P picture after the B pictures that follow it.
std::vector<size_t> PictureTimer::displayOrder() const {
    std::vector<size_t> order;
    order.reserve(pictures_.size());
    if (format_ == StreamFormat::Vc1Video) {
        std::optional<size_t> heldAnchor;
        for (size_t k = 0; k < pictures_.size(); ++k) {
            if (!pictures_[k].anchor) {
                order.push_back(k);
                continue;
            }
            if (heldAnchor) order.push_back(*heldAnchor);
            heldAnchor = k;
        }
        if (heldAnchor) order.push_back(*heldAnchor);
        return order;
    }
    order.resize(pictures_.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
        const Picture& x = pictures_[a];
        const Picture& y = pictures_[b];
        return x.group != y.group ? x.group < y.group : x.rank < y.rank;
    });
    return order;
}

// Each picture without a PTS of its own lies as far from the nearest picture before it (in
// display order) that has one as the fields shown between them last; the pictures before the
// first one with a PTS are reckoned back from it.
std::vector<int64_t> PictureTimer::presentationTimes(FramePeriod period) const {
    const std::vector<size_t> order = displayOrder();
    const long double fieldTicks =
        90000.0L * period.numerator / period.denominator / 2.0L;
    std::vector<long double> shownAt(order.size());  // fields shown before, in ticks
    long double fields = 0;
    for (size_t k = 0; k < order.size(); ++k) {
        shownAt[k] = fields * fieldTicks;
        fields += pictures_[order[k]].fields;
    }
    std::vector<int64_t> times(pictures_.size(), 0);
    std::optional<size_t> known;  // display position of the last picture with a PTS
    std::optional<size_t> firstKnown;
    for (size_t k = 0; k < order.size(); ++k) {
        const Picture& picture = pictures_[order[k]];
        if (picture.pts != kNoPts) {
            known = k;
            if (!firstKnown) firstKnown = k;
            times[order[k]] = picture.pts;
        } else if (known) {
            times[order[k]] = pictures_[order[*known]].pts +
                              std::llround(shownAt[k] - shownAt[*known]);
        }
    }
    const size_t backFrom = firstKnown.value_or(order.size());
    for (size_t k = 0; k < backFrom; ++k) {
        const long double from = firstKnown ? pictures_[order[*firstKnown]].pts : 0;
        const long double at = firstKnown ? shownAt[*firstKnown] : 0;
        times[order[k]] = std::llround(from + shownAt[k] - at);
    }
    return times;
}

}  // namespace morvale
