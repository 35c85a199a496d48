// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/stream_kinds.h"
#include "reports/video_headers.h"

namespace morvale {

// The presentation time of every picture of a video stream in one file. A picture's time is
// the PTS of the PES packet in which it begins, where that packet carries one (ISO/IEC
// 13818-1: a PTS belongs to the first access unit that begins in its packet); the others
// follow from the pictures around them in display order: MPEG-2 temporal_reference within a
// group of pictures and repeat_first_field, H.264 picture order count (types 0 and 2; type 1
// is taken in decoding order), and for VC-1 the rule that a B picture is shown as it is
// decoded and an I or P picture after the B pictures that follow it; each shown one frame
// period (a field period for a field). The two fields of a field-coded frame are one picture.
//
// Fed a stream's payload pieces in file order, it keeps a few bytes of state per picture
// (a two-hour feature at 24 pictures a second: about 2 MiB).
class PictureTimer {
  public:
    explicit PictureTimer(StreamFormat format) : format_(format) {}

    void feed(std::span<const uint8_t> bytes, bool firstOfPacket, std::optional<uint32_t> pts);
    // After the last piece: a header the stream ended in is read.
    void finish();

    size_t pictures() const { return pictures_.size(); }
    // The low 32 bits of the stream's first PTS in file order, from which the times count.
    std::optional<uint32_t> firstPts() const {
        return lastPts_ ? std::optional<uint32_t>(firstRawPts_) : std::nullopt;
    }
    // After the last piece: the presentation time of each picture in decoding order, in
    // 90 kHz ticks from the stream's first PTS (unwrapped past 2^32), with `period` as the
    // frame period. Empty when the stream carried no picture.
    std::vector<int64_t> presentationTimes(FramePeriod period) const;

  private:
    struct Picture {
        int64_t pts;          // kNoPts when its packet carried none
        int64_t rank;         // display order within its group
        uint32_t group;       // groups follow each other in display order
        uint8_t fields;       // fields shown: 2, 3 with a repeated first field, 1 a lone field
        bool anchor;          // VC-1: an I or P picture (shown after the B pictures behind it)
        bool pairable;        // a first field whose second field may follow
    };
    static constexpr int64_t kNoPts = INT64_MIN;

    void startCode(uint8_t code);
    void beginAccessUnit();
    void headerByte(uint8_t b);
    void endHeader();
    void newPicture(int64_t rank, uint8_t fields, bool anchor);
    void mpegPicture(std::span<const uint8_t> header);
    void mpegExtension(std::span<const uint8_t> header);
    void vc1Frame(std::span<const uint8_t> header);
    void h264Nal(uint8_t nalHeader, std::span<const uint8_t> header);
    void h264Slice(uint8_t nalHeader, std::span<const uint8_t> header);
    std::vector<size_t> displayOrder() const;

    StreamFormat format_;
    std::vector<Picture> pictures_;
    // The start-code search over the pieces: the last bytes, and the header being gathered.
    uint32_t register_ = 0;
    bool codeNext_ = false;  // a start code prefix ended the last piece
    std::optional<uint8_t> gathering_;
    std::array<uint8_t, 64> header_{};
    size_t gathered_ = 0;
    // The PTS of the current packet while no access unit has begun in it, unwrapped; the
    // access unit whose headers have begun and whose picture has not, with its PTS.
    std::optional<int64_t> packetPts_;
    bool unitBegun_ = false;
    std::optional<int64_t> unitPts_;
    std::optional<int64_t> lastPts_;
    uint32_t lastRawPts_ = 0;
    uint32_t firstRawPts_ = 0;
    uint32_t group_ = 0;
    // VC-1: the sequence header's interlace flag.
    bool interlace_ = false;
    // H.264: the parameter sets a slice header needs, by id; the picture order count state.
    struct H264Pps {
        uint32_t spsId = 0;
        bool bottomFieldPicOrder = false;
    };
    std::array<std::optional<H264SequenceParameters>, 32> sps_{};
    std::array<std::optional<H264Pps>, 256> pps_{};
    bool accessUnitOpen_ = false;  // an access unit delimiter began a picture no slice filled
    bool sliceSeen_ = false;       // the current picture has had its first slice
    int64_t prevPocMsb_ = 0;
    int64_t prevPocLsb_ = 0;
    int64_t decodeIndex_ = 0;
    uint32_t lastFrameNum_ = UINT32_MAX;
    bool lastBottom_ = false;
};

}  // namespace morvale
