// SPDX-License-Identifier: MIT
#include "commands/converted_subpictures.h"

#include <algorithm>
#include <cmath>

#include "platform/file_error.h"
#include "platform/paths.h"
#include "subtitles/stream_conversion.h"

namespace morvale {

namespace {

// An IFO is a few hundred KiB at most; the palette lies in its first program chain.
constexpr int64_t kLargestIfo = 16 << 20;
constexpr int kPgsFallbackWidth = 1920;
constexpr int kPgsFallbackHeight = 1080;
constexpr int64_t kTicksPerSecond = 90000;

// Writes a subtitle writer's bytes into an output file.
class FileByteSink final : public ByteSink {
  public:
    explicit FileByteSink(OutputFile& file) : file_(file) {}
    void write(std::span<const uint8_t> bytes) override {
        if (!bytes.empty()) file_.write(bytes.data(), bytes.size());
    }

  private:
    OutputFile& file_;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::optional<std::vector<uint8_t>> readSmallFile(const std::string& path) {
    SourceFile file = SourceFile::open(path, ShareMode::Shared);
    const int64_t size = file.size();
    if (size > kLargestIfo) return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    int64_t at = 0;
    while (at < size)
        at += file.readSome(bytes.data() + at, size - at);
    return bytes;
}

// One log line per cause that left something out: "<caption>: <what>: <count>[ (<detail>)]."
struct LeftOut {
    uint64_t count;
    const char* what;
    std::string detail;
};

void logLeftOut(CommandHost& host, const std::string& caption, const std::vector<LeftOut>& causes) {
    for (const LeftOut& cause : causes) {
        if (cause.count == 0) continue;
        host.log(caption + ": " + cause.what + ": " + std::to_string(cause.count) +
                 (cause.detail.empty() ? "" : " (" + cause.detail + ")") + ".");
    }
}

std::vector<LeftOut> assemblyLeftOut(const AssemblyCounts& counts) {
    return {{counts.cutShort, "subpicture units cut short left out", {}},
            {counts.badSize, "subpicture units of an impossible size left out", {}},
            {counts.strayPackets, "subpicture packets outside any unit left out", {}}};
}

class PgsOutput final : public ConvertedSubpictures {
  public:
    PgsOutput(OutputFile& sup, const SubpictureConversionSetup& setup, std::string caption)
        : sink_(sup),
          conversion_(sink_, pgsOptionsOf(setup), setup.dvdPalette),
          note_(setup.defaultPaletteNote),
          caption_(std::move(caption)) {}

    void take(std::span<const uint8_t> bytes, bool firstOfPacket,
              std::optional<uint32_t> pts) override {
        conversion_.feed(bytes, firstOfPacket, pts);
    }

    void finish(std::optional<int64_t> end, CommandHost& host) override {
        conversion_.finish(end);
        if (conversion_.dvdUnits() > 0 && !note_.empty()) host.log(caption_ + ": " + note_);
        const MalformedUnits& malformed = conversion_.malformed();
        const PgsCounts& written = conversion_.written();
        std::vector<LeftOut> causes = {{malformed.count, "malformed subpicture units left out",
                                        "the last: " + malformed.lastReason}};
        for (LeftOut& cause : assemblyLeftOut(conversion_.assembly()))
            causes.push_back(std::move(cause));
        causes.insert(
            causes.end(),
            {{written.outOfOrder, "subtitle events out of time order left out", {}},
             {written.outOfRange, "subtitle events outside the PGS timeline left out", {}},
             {written.offCanvas, "subtitle events off the canvas or of no time left out", {}},
             {written.tooLarge, "subtitle events too large for a PGS object left out", {}}});
        logLeftOut(host, caption_, causes);
    }

  private:
    static PgsOptions pgsOptionsOf(const SubpictureConversionSetup& setup) {
        PgsOptions options;
        const bool sized = setup.videoWidth > 0 && setup.videoHeight > 0;
        options.width = sized ? static_cast<int>(setup.videoWidth) : kPgsFallbackWidth;
        options.height = sized ? static_cast<int>(setup.videoHeight) : kPgsFallbackHeight;
        options.offset = setup.timelineZero;
        return options;
    }

    FileByteSink sink_;
    PgsConversion conversion_;
    std::string note_;
    std::string caption_;
};

class VobSubOutput final : public ConvertedSubpictures {
  public:
    VobSubOutput(OutputFile& idx, OutputFile& sub, const SubpictureConversionSetup& setup,
                 std::string caption)
        : idx_(idx),
          sub_(sub),
          conversion_(sub_, idx_, vobSubOptionsOf(setup)),
          note_(setup.defaultPaletteNote),
          caption_(std::move(caption)) {}

    void take(std::span<const uint8_t> bytes, bool firstOfPacket,
              std::optional<uint32_t> pts) override {
        conversion_.feed(bytes, firstOfPacket, pts);
    }

    void finish(std::optional<int64_t>, CommandHost& host) override {
        conversion_.finish();
        const VobSubCounts& written = conversion_.written();
        if (written.units > 0 && !note_.empty()) host.log(caption_ + ": " + note_);
        const MalformedUnits& malformed = conversion_.malformed();
        std::vector<LeftOut> causes = {{written.notDvd, "HD DVD subpicture units left out",
                                        "VobSub holds DVD subpictures only; PGS takes both"},
                                       {malformed.count, "malformed subpicture units left out",
                                        "the last: " + malformed.lastReason}};
        for (LeftOut& cause : assemblyLeftOut(conversion_.assembly()))
            causes.push_back(std::move(cause));
        causes.insert(causes.end(),
                      {{written.outOfRange, "subpicture units before the time base left out", {}},
                       {written.outOfOrder, "subpicture units out of time order left out", {}}});
        logLeftOut(host, caption_, causes);
    }

  private:
    static VobSubOptions vobSubOptionsOf(const SubpictureConversionSetup& setup) {
        VobSubOptions options;
        if (setup.videoWidth > 0 && setup.videoHeight > 0) {
            options.width = static_cast<int>(setup.videoWidth);
            options.height = static_cast<int>(setup.videoHeight);
        }
        options.palette = setup.dvdPalette;
        options.offset = setup.timelineZero;
        return options;
    }

    FileByteSink idx_;
    FileByteSink sub_;
    VobSubConversion conversion_;
    std::string note_;
    std::string caption_;
};

}  // namespace

int64_t subpictureTimelineZero(uint32_t timeBase) {
    return timeBase == 0xFFFFFFFFu ? -1 : int64_t{timeBase};
}

std::optional<std::string> titleSetIfoBeside(const std::string& source) {
    const std::string name = fileNameOf(source);
    const std::string upper = upperAscii(name);
    // VTS_nn_m.VOB
    if (upper.size() != 12 || upper.compare(0, 4, "VTS_") != 0 || !isDigit(upper[4]) ||
        !isDigit(upper[5]) || upper[6] != '_' || !isDigit(upper[7]) ||
        upper.compare(8, 4, ".VOB") != 0) {
        return std::nullopt;
    }
    const bool lower = name[0] == 'v';
    std::string ifo = name.substr(0, 7) + "0" + (lower ? ".ifo" : ".IFO");
    return folderOf(source) + ifo;
}

DvdPaletteChoice dvdPaletteFor(const std::string& source, std::string& note) {
    const std::optional<std::string> ifo = titleSetIfoBeside(source);
    const char* const kDefaultTaken = ": DVD subpictures take the default palette.";
    if (!ifo) {
        note = std::string("no title set's IFO beside the source") + kDefaultTaken;
        return chooseDvdPalette(std::nullopt);
    }
    const std::string name = fileNameOf(*ifo);
    if (!fileExists(*ifo)) {
        note = "no " + name + " beside the source" + kDefaultTaken;
        return chooseDvdPalette(std::nullopt);
    }
    std::optional<std::vector<uint8_t>> bytes;
    try {
        bytes = readSmallFile(*ifo);
    } catch (const FileError& error) {
        note = name + " could not be read (" + error.logLine() + ")" + kDefaultTaken;
        return chooseDvdPalette(std::nullopt);
    }
    DvdPaletteChoice choice =
        bytes ? chooseDvdPalette(std::span<const uint8_t>(*bytes)) : chooseDvdPalette(std::nullopt);
    note = choice.fromIfo ? std::string() : name + " holds no palette" + kDefaultTaken;
    return choice;
}

SubpictureConversionSetup subpictureConversionSetup(const CommandSettings& settings,
                                                    const LastScan& scan) {
    SubpictureConversionSetup setup;
    setup.format = settings.subpictureFormat;
    setup.timelineZero = subpictureTimelineZero(scan.subpictureTimeBase);
    setup.videoWidth = scan.videoWidth;
    setup.videoHeight = scan.videoHeight;
    setup.dvdPalette = dvdPaletteFor(settings.source, setup.defaultPaletteNote).palette;
    return setup;
}

std::vector<std::string> convertedSubpictureNames(SubpictureFormat format,
                                                  const std::string& nameBase,
                                                  const std::string& extension) {
    if (format == SubpictureFormat::VobSub) return {nameBase + ".idx", nameBase + ".sub"};
    return {nameBase + "." + extension};
}

std::unique_ptr<ConvertedSubpictures> convertSubpictures(const SubpictureConversionSetup& setup,
                                                         std::span<OutputFile* const> files,
                                                         const std::string& caption) {
    if (setup.format == SubpictureFormat::VobSub)
        return std::make_unique<VobSubOutput>(*files[0], *files[1], setup, caption);
    return std::make_unique<PgsOutput>(*files[0], setup, caption);
}

std::optional<int64_t> videoEndOf(const std::vector<ScannedPart>& parts) {
    if (parts.empty()) return std::nullopt;
    for (int slot = 0; slot < kVideoSlots; ++slot) {
        const ScannedStream* video = parts.back().scan.owner(SlotKind::Video, slot);
        if (video == nullptr || !video->times.seen) continue;
        const FramePeriod period = video->playPeriod();
        const auto periodTicks = static_cast<int64_t>(
            std::llround(static_cast<long double>(period.seconds()) * kTicksPerSecond));
        return int64_t{video->times.maxPts()} + periodTicks;
    }
    return std::nullopt;
}

}  // namespace morvale
