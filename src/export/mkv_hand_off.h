#pragma once

// From a described feature and its demuxed files to what mkvmerge is handed: the tracks it
// can read with their names, languages, default flags and per-part files and timings, and
// the streams it cannot read, named with their files so the user knows what is left out.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/audio_duration.h"
#include "export/feature_description.h"
#include "export/mkvmerge_options.h"

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
    {StreamFormat::MpegAudio, "mpa", {}},
};
// clang-format on

constexpr const WorkFileKind& workFileKindOf(StreamFormat format) {
    for (const WorkFileKind& kind : kWorkFileKinds) {
        if (kind.format == format) return kind;
    }
    return kWorkFileKinds[0];
}

// One part's file of a stream (empty path: the stream has nothing in that part).
struct StreamPartFile {
    std::string path;
};

struct StreamFiles {
    DescribedStream stream;
    std::string caption;  // the stream box's caption: "DD+.stream.01", "Subpicture.00"
    std::vector<StreamPartFile> parts;
};

struct LeftOutStream {
    std::string caption;
    std::vector<std::string> paths;
};

struct HandOff {
    MkvJob job;
    std::vector<LeftOutStream> leftOut;
};

// Whether mkvmerge reads the stream's demuxed file: video and audio elementary streams do
// (LPCM as WAV); subpicture records do not.
bool mkvmergeReads(const ScanStream& stream);

// The job: output and chapters as given, the title's name (or the playlist's) as segment
// title, one track per stream mkvmerge reads in the order given. A part's duration is the
// one the description holds; without one, its last timestamp less its first.
HandOff planHandOff(const FeatureDescription& description, const std::vector<StreamFiles>& files,
                    const std::string& output, const std::string& chaptersPath);

// What one line of mkvmerge's --gui-mode output says.
struct MkvmergeLine {
    enum class Kind { Progress, Warning, Error, Other } kind = Kind::Other;
    int percent = 0;   // Progress
    std::string text;  // Warning, Error and Other: the message without its marker
};
MkvmergeLine readMkvmergeLine(std::string_view line);

}  // namespace morvale
