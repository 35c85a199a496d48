#include "engine/frame_period.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace morvale {

namespace {

// Payload looked at per stream and file before giving up, and the most a cut header may
// keep waiting for the next piece.
constexpr size_t kLookLimit = 1 << 20;
constexpr size_t kLongestHeader = 4096;

constexpr uint8_t kMpegSequenceHeader = 0xB3;
constexpr uint8_t kVc1SequenceHeader = 0x0F;
constexpr uint8_t kH264NalTypeMask = 0x1F;
constexpr uint8_t kH264SequenceParameterSet = 7;

// MPEG-1/MPEG-2 video frame_rate_code 1-8 (0 and 9-15 are forbidden or reserved).
constexpr std::array<FramePeriod, 9> kMpegFramePeriods = {{{0, 1},
                                                           {1001, 24000},
                                                           {1, 24},
                                                           {1, 25},
                                                           {1001, 30000},
                                                           {1, 30},
                                                           {1, 50},
                                                           {1001, 60000},
                                                           {1, 60}}};
// SMPTE 421M FRAMERATENR 1-7 (pictures per 1,000 or 1,001 s) and FRAMERATEDR 1-2.
constexpr std::array<uint32_t, 8> kVc1RateNumerators = {0,     24000, 25000, 30000,
                                                        50000, 60000, 48000, 72000};
constexpr std::array<uint32_t, 3> kVc1RateDenominators = {0, 1000, 1001};

// The bits of a header's payload (after its start code), read most significant first. A read
// past the end sets overrun() and returns zeros.
class BitReader {
  public:
    explicit BitReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    uint32_t bits(int n) {
        uint32_t value = 0;
        for (int k = 0; k < n; ++k)
            value = (value << 1) | bit();
        return value;
    }
    // Exp-Golomb codes of ISO/IEC 14496-10 (ue(v) and se(v)).
    uint32_t unsignedGolomb() {
        int zeros = 0;
        while (bit() == 0 && !overrun_ && zeros < 32)
            ++zeros;
        if (zeros >= 32) overrun_ = true;
        return overrun_ ? 0 : (1u << zeros) - 1 + bits(zeros);
    }
    int32_t signedGolomb() {
        const uint32_t code = unsignedGolomb();
        return (code & 1) ? static_cast<int32_t>((code + 1) / 2) : -static_cast<int32_t>(code / 2);
    }
    bool overrun() const { return overrun_; }

  private:
    uint32_t bit() {
        if (position_ >= bytes_.size() * 8) {
            overrun_ = true;
            return 0;
        }
        const uint32_t b = (bytes_[position_ / 8] >> (7 - position_ % 8)) & 1;
        ++position_;
        return b;
    }

    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
    bool overrun_ = false;
};

// The bytes of a NAL unit or bitstream data unit after its start code, with the emulation
// prevention bytes (00 00 03) taken out, up to the next start code prefix. `ended` tells
// whether that prefix was found (otherwise the unit may go on in the next piece).
std::vector<uint8_t> unescaped(std::span<const uint8_t> unit, bool& ended) {
    std::vector<uint8_t> out;
    out.reserve(std::min<size_t>(unit.size(), 256));
    int zeros = 0;
    ended = false;
    for (uint8_t b : unit) {
        if (zeros >= 2 && b <= 0x01) {
            ended = true;
            out.resize(out.size() - 2);
            break;
        }
        if (zeros >= 2 && b == 0x03) {
            zeros = 0;
            continue;
        }
        zeros = b == 0 ? zeros + 1 : 0;
        out.push_back(b);
    }
    return out;
}

HeaderReading finished(const BitReader& reader, bool ended) {
    return reader.overrun() && !ended ? HeaderReading::Cut : HeaderReading::NoPeriod;
}

HeaderReading readMpegSequenceHeader(std::span<const uint8_t> fields, FramePeriod& period) {
    // horizontal and vertical size (24 bits), aspect_ratio_information, frame_rate_code
    if (fields.size() < 4) return HeaderReading::Cut;
    const uint8_t code = fields[3] & 0x0F;
    if (code == 0 || code >= kMpegFramePeriods.size()) return HeaderReading::NoPeriod;
    period = kMpegFramePeriods[code];
    return HeaderReading::Period;
}

void skipScalingList(BitReader& reader, int size) {
    int32_t last = 8, next = 8;
    for (int k = 0; k < size && !reader.overrun(); ++k) {
        if (next != 0) next = (last + reader.signedGolomb() + 256) % 256;
        last = next == 0 ? last : next;
    }
}

bool hasChromaFields(uint32_t profileIdc) {
    constexpr std::array<uint32_t, 13> kProfiles = {100, 110, 122, 244, 44,  83, 86,
                                                    118, 128, 138, 139, 134, 135};
    return std::find(kProfiles.begin(), kProfiles.end(), profileIdc) != kProfiles.end();
}

// seq_parameter_set_data up to vui_parameters' timing_info: a frame lasts two ticks.
HeaderReading readSequenceParameterSet(std::span<const uint8_t> unit, FramePeriod& period) {
    bool ended = false;
    const std::vector<uint8_t> rbsp = unescaped(unit, ended);
    BitReader r(rbsp);
    const uint32_t profileIdc = r.bits(8);
    r.bits(16);          // constraint flags, level_idc
    r.unsignedGolomb();  // seq_parameter_set_id
    if (hasChromaFields(profileIdc)) {
        const uint32_t chromaFormat = r.unsignedGolomb();
        if (chromaFormat == 3) r.bits(1);  // separate_colour_plane_flag
        r.unsignedGolomb();                // bit_depth_luma_minus8
        r.unsignedGolomb();                // bit_depth_chroma_minus8
        r.bits(1);                         // qpprime_y_zero_transform_bypass_flag
        if (r.bits(1)) {                   // seq_scaling_matrix_present_flag
            for (int k = 0; k < (chromaFormat == 3 ? 12 : 8); ++k)
                if (r.bits(1)) skipScalingList(r, k < 6 ? 16 : 64);
        }
    }
    r.unsignedGolomb();  // log2_max_frame_num_minus4
    const uint32_t orderType = r.unsignedGolomb();
    if (orderType == 0) {
        r.unsignedGolomb();  // log2_max_pic_order_cnt_lsb_minus4
    } else if (orderType == 1) {
        r.bits(1);
        r.signedGolomb();
        r.signedGolomb();
        const uint32_t cycle = r.unsignedGolomb();
        for (uint32_t k = 0; k < cycle && !r.overrun(); ++k)
            r.signedGolomb();
    }
    r.unsignedGolomb();         // max_num_ref_frames
    r.bits(1);                  // gaps_in_frame_num_value_allowed_flag
    r.unsignedGolomb();         // pic_width_in_mbs_minus1
    r.unsignedGolomb();         // pic_height_in_map_units_minus1
    if (!r.bits(1)) r.bits(1);  // frame_mbs_only_flag, mb_adaptive_frame_field_flag
    r.bits(1);                  // direct_8x8_inference_flag
    if (r.bits(1)) {            // frame_cropping_flag
        for (int k = 0; k < 4; ++k)
            r.unsignedGolomb();
    }
    if (!r.bits(1)) return finished(r, ended);      // vui_parameters_present_flag
    if (r.bits(1) && r.bits(8) == 255) r.bits(32);  // aspect ratio, extended SAR
    if (r.bits(1)) r.bits(1);                       // overscan
    if (r.bits(1)) {                                // video_signal_type_present_flag
        r.bits(4);
        if (r.bits(1)) r.bits(24);  // colour description
    }
    if (r.bits(1)) {  // chroma_loc_info_present_flag
        r.unsignedGolomb();
        r.unsignedGolomb();
    }
    if (!r.bits(1)) return finished(r, ended);  // timing_info_present_flag
    const uint32_t unitsInTick = r.bits(32);
    const uint32_t timeScale = r.bits(32);
    if (r.overrun()) return finished(r, ended);
    if (unitsInTick == 0 || timeScale == 0 || unitsInTick > 0x7FFFFFFF) {
        return HeaderReading::NoPeriod;
    }
    period = {2 * unitsInTick, timeScale};
    return HeaderReading::Period;
}

// The advanced-profile sequence header up to FRAMERATE.
HeaderReading readVc1SequenceHeader(std::span<const uint8_t> unit, FramePeriod& period) {
    bool ended = false;
    const std::vector<uint8_t> bdu = unescaped(unit, ended);
    BitReader r(bdu);
    constexpr uint32_t kAdvancedProfile = 3;
    if (r.bits(2) != kAdvancedProfile) return finished(r, ended);
    r.bits(3 + 2 + 3 + 5 + 1 + 12 + 12);           // LEVEL ... MAX_CODED_HEIGHT
    r.bits(6);                                     // PULLDOWN ... PSF
    if (!r.bits(1)) return finished(r, ended);     // DISPLAY_EXT
    r.bits(28);                                    // DISP_HORIZ_SIZE, DISP_VERT_SIZE
    if (r.bits(1) && r.bits(4) == 15) r.bits(16);  // ASPECT_RATIO and its explicit size
    if (!r.bits(1)) return finished(r, ended);     // FRAMERATE_FLAG
    if (r.bits(1)) {                               // FRAMERATEIND: FRAMERATEEXP
        const uint32_t exponent = r.bits(16);
        if (r.overrun()) return finished(r, ended);
        period = {32, exponent + 1};
        return HeaderReading::Period;
    }
    const uint32_t numerator = r.bits(8);
    const uint32_t denominator = r.bits(4);
    if (r.overrun()) return finished(r, ended);
    if (numerator == 0 || numerator >= kVc1RateNumerators.size() || denominator == 0 ||
        denominator >= kVc1RateDenominators.size()) {
        return HeaderReading::NoPeriod;
    }
    period = {kVc1RateDenominators[denominator], kVc1RateNumerators[numerator]};
    return HeaderReading::Period;
}

// Whether the start code byte begins the kind's sequence header.
bool isSequenceHeader(uint8_t code, VideoKind kind) {
    switch (kind) {
        case VideoKind::VideoH264:
            return (code & 0x80) == 0 && (code & kH264NalTypeMask) == kH264SequenceParameterSet;
        case VideoKind::VideoVc1:
            return code == kVc1SequenceHeader;
        default:
            return code == kMpegSequenceHeader;
    }
}

}  // namespace

HeaderReading readFramePeriod(std::span<const uint8_t> header, VideoKind kind,
                              FramePeriod& period) {
    if (header.size() < 4) return HeaderReading::Cut;
    const std::span<const uint8_t> fields = header.subspan(4);
    switch (kind) {
        case VideoKind::VideoH264:
            return readSequenceParameterSet(fields, period);
        case VideoKind::VideoVc1:
            return readVc1SequenceHeader(fields, period);
        default:
            return readMpegSequenceHeader(fields, period);
    }
}

void FramePeriodFinder::finish(std::optional<FramePeriod> period) {
    period_ = period;
    done_ = true;
    pending_.clear();
    pending_.shrink_to_fit();
}

// The pieces are joined only while looking (the first packet of a stream usually begins with
// its sequence header), so the search costs nothing once it is over.
void FramePeriodFinder::look(std::span<const uint8_t> piece, VideoKind kind) {
    if (done_) return;
    const size_t take = std::min(piece.size(), kLookLimit - looked_);
    pending_.insert(pending_.end(), piece.begin(), piece.begin() + static_cast<long>(take));
    looked_ += take;
    const uint8_t* data = pending_.data();
    const size_t n = pending_.size();
    size_t keepFrom = n >= 3 ? n - 3 : 0;  // a start code prefix may end the piece
    for (size_t from = 2; from + 1 < n;) {
        const void* hit = std::memchr(data + from, 0x01, n - 1 - from);
        if (hit == nullptr) break;
        const size_t one = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
        from = one + 1;
        if (data[one - 1] != 0 || data[one - 2] != 0 || !isSequenceHeader(data[one + 1], kind)) {
            continue;
        }
        FramePeriod period;
        switch (readFramePeriod({data + one - 2, n - one + 2}, kind, period)) {
            case HeaderReading::Period:
                finish(period);
                return;
            case HeaderReading::NoPeriod:
                finish(std::nullopt);
                return;
            case HeaderReading::Cut:
                keepFrom = one - 2;
                from = n;  // wait for the rest of it
                break;
        }
    }
    if (looked_ >= kLookLimit || n - keepFrom > kLongestHeader) {
        finish(std::nullopt);
        return;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(keepFrom));
}

}  // namespace morvale
