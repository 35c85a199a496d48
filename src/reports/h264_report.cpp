#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "reports/picture_start_codes.h"
#include "reports/reports.h"

// Profiles and levels of the sequence parameter sets of an ISO/IEC 14496-10 byte stream, and
// the access units before the first one whose delimiter announces I slices only. The bytes are
// read as they stand (emulation prevention bytes cannot occur before level_idc).

namespace morvale {
namespace {

// Start code prefix and NAL header of a sequence parameter set with nal_ref_idc 1 or 3.
constexpr std::array<uint32_t, 2> kSequenceParameterSets = {0x00000127, 0x00000167};

constexpr int kParameterSetBytes = 4;  // profile_idc, constraint flags, level_idc, one more
constexpr uint32_t kPrimaryPicTypeI = 0;
constexpr uint32_t kLevelIdc11 = 11;  // with constraint_set3_flag: level 1b

struct ProfileName {
    uint32_t profileIdc;
    std::string_view line;
};
constexpr std::array<ProfileName, 7> kProfileLines = {{
    {66, "   Baseline Profile"},
    {77, "   Main Profile"},
    {88, "   Extended Profile"},
    {100, "   High Profile"},
    {110, "   High 10 Profile"},
    {122, "   High 4:2:2 Profile"},
    {144, "   High 4:4:4 Profile"},
}};
constexpr std::string_view kUnknownProfileLine = "   Unknown Profile";

std::string_view profileLine(uint32_t profileIdc) {
    const auto* found =
        std::find_if(kProfileLines.begin(), kProfileLines.end(),
                     [&](const ProfileName& p) { return p.profileIdc == profileIdc; });
    return found != kProfileLines.end() ? found->line : kUnknownProfileLine;
}

bool isSequenceParameterSet(uint32_t shift) {
    return std::find(kSequenceParameterSets.begin(), kSequenceParameterSets.end(), shift) !=
           kSequenceParameterSets.end();
}

class H264ParameterReader {
  public:
    explicit H264ParameterReader(MessageLog& log) : log_(log) {}

    void read(uint8_t byte) {
        shift_ = (shift_ << 8) | byte;
        if (shift_ == kH264AccessUnitDelimiter) {
            delimiterCountdown_ = 1;
        } else if (delimiterCountdown_ != 0) {
            delimiterCountdown_ = 0;
            onDelimiter(byte >> 5);
        } else if (isSequenceParameterSet(shift_)) {
            parameterSetCountdown_ = kParameterSetBytes;
        } else if (parameterSetCountdown_ != 0) {
            --parameterSetCountdown_;
            readParameterSetByte(byte);
        }
    }

  private:
    void onDelimiter(uint32_t primaryPicType) {
        if (!firstISeen_ && primaryPicType == kPrimaryPicTypeI) {
            log_.log("   " + std::to_string(delimitersSeen_) + " frames before first I-frame");
            firstISeen_ = true;
        }
        ++delimitersSeen_;
    }

    void readParameterSetByte(uint8_t byte) {
        switch (parameterSetCountdown_) {
            case 3:
                log_.log(profileLine(byte));
                break;
            case 2:
                constraintSet3_ = (byte & 0x10) != 0;
                break;
            case 1:
                log_.log(byte == kLevelIdc11 && constraintSet3_
                             ? std::string("   Level = 1b")
                             : "   Level = " + std::to_string(byte));
                break;
        }
    }

    MessageLog& log_;

    uint32_t shift_ = 0;
    uint32_t delimitersSeen_ = 0;
    bool firstISeen_ = false;
    int delimiterCountdown_ = 0;
    int parameterSetCountdown_ = 0;
    bool constraintSet3_ = false;
};

}  // namespace

void ReportH264(std::span<const uint8_t> piece, uint32_t /*pts*/, uint32_t /*dts*/,
                MessageLog& log) {
    H264ParameterReader reader(log);
    for (uint8_t byte : piece)
        reader.read(byte);
}

}  // namespace morvale
