#include "sample_disc.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>

#include "evo_muxer.h"
#include "sample_playlist.h"
#include "sample_subtitles.h"
#include "vc1_stream.h"

namespace morvale::sample {

namespace {

struct AudioStream {
    uint8_t subStreamId;
    AudioFormat format;
};

constexpr AudioStream kAudio[] = {
    {0xC0, {true, 6, 384, 440}},   // English
    {0xC1, {true, 6, 384, 523}},   // Deutsch
    {0x82, {false, 2, 192, 330}},  // Commentary
};

constexpr uint8_t kEnglishSubpictures = 0x20;  // HD DVD units
constexpr uint8_t kDeutschSubpictures = 0x21;  // DVD units

// A subpicture every two seconds from half a second on, shown for one and a half.
constexpr uint64_t kSubpictureFirst = kClock / 2;
constexpr uint64_t kSubpictureInterval = 2 * kClock;
constexpr uint64_t kSubpictureDuration = kClock * 3 / 2;

std::vector<std::vector<Bytes>> audioFrames(int count, const SampleDiscOptions& options,
                                            AudioOrigin& origin) {
    std::vector<std::vector<Bytes>> frames;
    if (!options.synthesiseAudio) {
        for (const AudioStream& stream : kAudio) {
            std::optional<std::vector<Bytes>> encoded = encodeWithFfmpeg(stream.format, count);
            if (!encoded) break;
            frames.push_back(std::move(*encoded));
        }
    }
    origin = AudioOrigin::Ffmpeg;
    if (frames.size() != std::size(kAudio)) {
        frames.clear();
        for (const AudioStream& stream : kAudio)
            frames.push_back(synthesiseSyncframes(stream.format, count));
        origin = AudioOrigin::Synthesised;
    }
    return frames;
}

// Splits the feature's streams at the first frame of the second part: the units presented
// before it belong to the first part.
void splitUnits(const std::vector<AccessUnit>& units, uint64_t boundary,
                std::vector<AccessUnit>& first, std::vector<AccessUnit>& second) {
    for (const AccessUnit& unit : units)
        (unit.pts < boundary ? first : second).push_back(unit);
}

void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

SampleDisc writeSampleDisc(const std::string& folder, const SampleDiscOptions& options) {
    const int totalFrames = (kFirstPartGops + kSecondPartGops) * kFramesPerGop;
    const uint64_t boundary =
        kFirstPts + frameTime(static_cast<uint64_t>(kFirstPartGops * kFramesPerGop));
    const uint64_t end = kFirstPts + frameTime(static_cast<uint64_t>(totalFrames));

    FeaturePart parts[2];
    parts[0].titleStartPts = parts[1].titleStartPts = kFirstPts;
    std::vector<Vc1Frame> video = vc1Frames(kFirstPartGops + kSecondPartGops, kFirstPts);
    const size_t firstPartFrames = static_cast<size_t>(kFirstPartGops * kFramesPerGop);
    parts[0].video.assign(video.begin(), video.begin() + firstPartFrames);
    parts[1].video.assign(video.begin() + firstPartFrames, video.end());

    SampleDisc disc;
    const int syncframes =
        static_cast<int>((end - kFirstPts + kSyncframeTicks - 1) / kSyncframeTicks);
    const std::vector<std::vector<Bytes>> audio = audioFrames(syncframes, options, disc.audio);
    for (size_t s = 0; s < audio.size(); ++s) {
        std::vector<AccessUnit> units;
        for (size_t j = 0; j < audio[s].size(); ++j)
            units.push_back({audio[s][j], kFirstPts + j * kSyncframeTicks, std::nullopt});
        AudioTrack first{kAudio[s].subStreamId, {}}, second{kAudio[s].subStreamId, {}};
        splitUnits(units, boundary, first.frames, second.frames);
        for (AccessUnit& unit : second.frames)
            unit.pts += kSecondPartAudioDelay;
        parts[0].audio.push_back(std::move(first));
        parts[1].audio.push_back(std::move(second));
    }

    std::vector<uint64_t> subpictureTimes;
    for (uint64_t pts = kFirstPts + kSubpictureFirst; pts + kSubpictureDuration <= end;
         pts += kSubpictureInterval)
        subpictureTimes.push_back(pts);
    const std::vector<Bytes> english =
        englishSubpictureUnits(subpictureTimes.size(), kSubpictureDuration);
    const Bytes deutsch = deutschSubpictureUnit(kSubpictureDuration);
    for (const uint8_t id : {kEnglishSubpictures, kDeutschSubpictures}) {
        std::vector<AccessUnit> units;
        for (size_t k = 0; k < subpictureTimes.size(); ++k)
            units.push_back({id == kEnglishSubpictures ? english[k] : deutsch, subpictureTimes[k],
                             std::nullopt});
        SubpictureTrack first{id, {}}, second{id, {}};
        splitUnits(units, boundary, first.units, second.units);
        parts[0].subpictures.push_back(std::move(first));
        parts[1].subpictures.push_back(std::move(second));
    }

    namespace fs = std::filesystem;
    const fs::path root(folder);
    std::error_code error;
    fs::create_directories(root / "HVDVD_TS", error);
    fs::create_directories(root / "ADV_OBJ", error);
    if (!fs::is_directory(root / "HVDVD_TS") || !fs::is_directory(root / "ADV_OBJ")) {
        throw std::runtime_error("cannot create the folders of " + root.string());
    }

    uint64_t clock = 0;
    const char* const names[2] = {"HVDVD_TS/FEATURE_1.EVO", "HVDVD_TS/FEATURE_2.EVO"};
    for (int p = 0; p < 2; ++p) {
        const Bytes evo = muxPart(parts[p], clock);
        writeFile(root / names[p], evo);
        disc.files.push_back({names[p], evo.size()});
    }
    const std::string playlist =
        samplePlaylist({kFirstPartGops * kFramesPerGop, kSecondPartGops * kFramesPerGop});
    writeFile(root / "ADV_OBJ/VPLST000.XPL", Bytes(playlist.begin(), playlist.end()));
    disc.files.push_back({"ADV_OBJ/VPLST000.XPL", playlist.size()});
    return disc;
}

}  // namespace morvale::sample
