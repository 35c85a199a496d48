// SPDX-License-Identifier: MIT
#pragma once

// How the Matroska path keeps each kind of stream for mkvmerge, and what mkvmerge says while
// it runs.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/audio_duration.h"
#include "engine/stream_kinds.h"

namespace morvale {

// How the Matroska path keeps a stream of a format in its work folder: the file's
// extension, how its units are timed (audio mkvmerge reads as it is), and whether it is
// turned into WAV first (LPCM).
struct WorkFileKind {
    StreamFormat format;
    std::string_view extension;
    std::optional<AudioCoding> coding;
    bool lpcm = false;
};

// clang-format off
inline constexpr WorkFileKind kWorkFileKinds[] = {
    {StreamFormat::Vc1Video, "vc1", {}},
    {StreamFormat::Mpeg2Video, "m2v", {}},
    {StreamFormat::H264Video, "h264", {}},
    {StreamFormat::DolbyDigital, "ac3", AudioCoding::DolbyDigital},
    {StreamFormat::DolbyDigitalPlus, "eac3", AudioCoding::DolbyDigitalPlus},
    {StreamFormat::Dts, "dts", AudioCoding::Dts},
    {StreamFormat::TrueHd, "thd", AudioCoding::TrueHd},
    {StreamFormat::Lpcm, "lpcm", {}, true},
    {StreamFormat::Subpicture, "sup", {}},
    {StreamFormat::ExtendedSubpicture, "sup", {}},
    {StreamFormat::MpegAudio, "mpa", AudioCoding::MpegAudio},
};
// clang-format on

constexpr const WorkFileKind& workFileKindOf(StreamFormat format) {
    for (const WorkFileKind& kind : kWorkFileKinds) {
        if (kind.format == format) return kind;
    }
    return kWorkFileKinds[0];
}

// What one line of mkvmerge's --gui-mode output says.
struct MkvmergeLine {
    enum class Kind { Progress, Warning, Error, Other } kind = Kind::Other;
    int percent = 0;   // Progress
    std::string text;  // Warning, Error and Other: the message without its marker
};
MkvmergeLine readMkvmergeLine(std::string_view line);

}  // namespace morvale
