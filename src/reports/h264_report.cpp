// SPDX-License-Identifier: MIT
#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "reports/picture_start_codes.h"
#include "reports/reports.h"
#include "reports/video_headers.h"

// Profiles and levels of the sequence parameter sets of an ISO/IEC 14496-10 byte stream, and
// the access units before the first one whose delimiter announces I slices only.

namespace morvale {
namespace {

constexpr uint8_t kAccessUnitDelimiter = kH264AccessUnitDelimiter & 0xFF;
// NAL unit headers of a sequence parameter set with nal_ref_idc 1 or 3.
constexpr std::array<uint8_t, 2> kSequenceParameterSets = {0x27, 0x67};
constexpr uint32_t kPrimaryPicTypeI = 0;
constexpr uint32_t kLevelIdc11 = 11;  // with constraint_set3_flag: level 1b
constexpr uint8_t kConstraintSet3 = 0x10;

// profile_idc -> line.
// clang-format off
constexpr std::array<std::pair<uint32_t, std::string_view>, 7> kProfileLines = {{
    {66, "   Baseline Profile"}, {77, "   Main Profile"}, {88, "   Extended Profile"},
    {100, "   High Profile"}, {110, "   High 10 Profile"}, {122, "   High 4:2:2 Profile"},
    {144, "   High 4:4:4 Profile"}}};
// clang-format on

std::string_view profileLine(uint32_t profileIdc) {
    const auto* found = std::find_if(kProfileLines.begin(), kProfileLines.end(),
                                     [&](const auto& p) { return p.first == profileIdc; });
    return found != kProfileLines.end() ? found->second : "   Unknown Profile";
}

}  // namespace

void ReportH264(std::span<const uint8_t> piece, MessageLog& log) {
    uint32_t delimitersSeen = 0;
    bool firstISeen = false;
    forEachStartCode(piece, [&](uint8_t nalHeader, std::span<const uint8_t> rest) {
        if (nalHeader == kAccessUnitDelimiter && !rest.empty()) {
            if (!firstISeen && rest[0] >> 5 == kPrimaryPicTypeI) {  // primary_pic_type
                log.log("   " + std::to_string(delimitersSeen) + " frames before first I-frame");
                firstISeen = true;
            }
            ++delimitersSeen;
        } else if (std::find(kSequenceParameterSets.begin(), kSequenceParameterSets.end(),
                             nalHeader) != kSequenceParameterSets.end()) {
            const H264SequenceParameters p = readH264SequenceParameters(rest);
            if (p.has(H264SequencePart::Profile)) log.log(profileLine(p.profileIdc));
            if (!p.has(H264SequencePart::Level)) return;
            const bool level1b = p.levelIdc == kLevelIdc11 && (p.constraintFlags & kConstraintSet3);
            log.log(level1b ? std::string("   Level = 1b")
                            : "   Level = " + std::to_string(p.levelIdc));
        }
    });
}

}  // namespace morvale
