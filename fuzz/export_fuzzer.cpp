// SPDX-License-Identifier: MIT
// What Morvale hands to other tools, over arbitrary bytes: the playlist read as XML into
// the feature description and its JSON and chapter files, LPCM samples converted for WAV,
// and the unit walk that times demuxed audio.
//
// Input: 6 control bytes, then the data.
//   0     what the data is: playlist (0), LPCM (1), audio units (2), by its value modulo 3
//   1-4   the block cuts of the second pass (see Cuts)
//   5     playlist: the source's base name; LPCM: the format byte (word length, rate,
//         channels) and, by its bit 3, the HD DVD layout; audio: the coding
//
// Checked: a playlist either reads or says where it breaks; a chosen title exists; its
// description's JSON parses back; chapter times are not negative. LPCM converted whole and
// in cut pieces gives the same samples, of the size the format says. An audio stream walked
// whole and in cut pieces gives the same units and duration.

#include <nlohmann/json.hpp>
#include <string>

#include "export/audio_duration.h"
#include "export/chapter_file.h"
#include "export/description_json.h"
#include "export/feature_description.h"
#include "export/playlist_model.h"
#include "export/wav_writer.h"
#include "fuzz_support.h"

namespace morvale::fuzzing {
namespace {

constexpr size_t kControlBytes = 6;
constexpr const char* kBaseNames[] = {"FEATURE_1", "FEATURE_2", "VTS_01_1", ""};

void fuzzPlaylist(std::span<const uint8_t> data, uint8_t choice) {
    const PlaylistReading reading = readPlaylistModel(data, kBaseNames[choice % 4]);
    FUZZ_CHECK(reading.model.has_value() == reading.error.empty());
    if (!reading.model) return;
    const PlaylistModel& model = *reading.model;
    const PlaylistTitle* title = nullptr;
    if (model.chosenTitle) {
        FUZZ_CHECK(*model.chosenTitle < model.titles.size());
        title = &model.titles[*model.chosenTitle];
    }
    FeatureScan scan;
    for (int slot = 0; slot < 3; ++slot) {
        ScanStream stream;
        stream.kind = static_cast<ScanStreamKind>(slot);
        stream.slot = slot;
        stream.firstPts = 90000u * uint32_t(slot);
        stream.parts = {{stream.firstPts, {}, {}}};
        scan.streams.push_back(stream);
    }
    const FeatureDescription description = describeFeature(scan, title, model.displayName);
    const nlohmann::json json = nlohmann::json::parse(featureDescriptionJson(description));
    FUZZ_CHECK(json["streams"].size() == scan.streams.size());
    if (!description.title) return;
    for (const DescribedChapter& chapter : description.title->chapters)
        FUZZ_CHECK(chapter.startMs >= 0 && chapter.startNs >= 0);
    FUZZ_CHECK(!chapterText(description.title->chapters, ChapterFormat::MatroskaXml).empty());
    chapterText(description.title->chapters, ChapterFormat::OgmText);
}

void fuzzLpcm(std::span<const uint8_t> data, uint8_t choice, Cuts& cuts) {
    const LpcmLayout layout = (choice & 0x08) != 0 ? LpcmLayout::HdDvd : LpcmLayout::Dvd;
    const std::optional<LpcmFormat> format = decodeLpcmHeader({0, choice, 0x80}, layout);
    if (!format) return;
    Bytes whole;
    const size_t used = convertLpcmBlocks(data, *format, layout, whole);
    const size_t block = size_t(lpcmBlockBytes(*format, layout));
    FUZZ_CHECK(used % block == 0 && used <= data.size() && data.size() - used < block);
    const size_t samples =
        used / block * size_t(lpcmFramesPerBlock(*format, layout) * format->channels);
    FUZZ_CHECK(whole.size() == samples * size_t(wavFormatOf(*format).containerBytes()));

    Bytes pieces, carry;
    size_t position = 0;
    while (position < data.size()) {
        const size_t n = cuts.next(data.size() - position);
        carry.insert(carry.end(), data.begin() + long(position), data.begin() + long(position + n));
        const size_t took = convertLpcmBlocks(carry, *format, layout, pieces);
        carry.erase(carry.begin(), carry.begin() + long(took));
        position += n;
    }
    FUZZ_CHECK(pieces == whole);
}

void fuzzAudio(std::span<const uint8_t> data, uint8_t choice, Cuts& cuts) {
    const auto coding = static_cast<AudioCoding>(choice % 4);
    AudioUnitCounter whole(coding), cut(coding);
    whole.feed(data);
    size_t position = 0;
    while (position < data.size()) {
        const size_t n = cuts.next(data.size() - position);
        cut.feed(data.subspan(position, n));
        position += n;
    }
    FUZZ_CHECK(cut.units() == whole.units());
    FUZZ_CHECK(cut.durationTicks() == whole.durationTicks());
    if (whole.durationTicks()) FUZZ_CHECK(*whole.durationTicks() >= 0);
}

}  // namespace
}  // namespace morvale::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace morvale::fuzzing;
    const ControlBytes control(data, size, kControlBytes);
    Cuts cuts(control[1], control[2], control[3], control[4]);
    switch (control[0] % 3) {
        case 0:
            fuzzPlaylist(control.data(), control[5]);
            break;
        case 1:
            fuzzLpcm(control.data(), control[5], cuts);
            break;
        default:
            fuzzAudio(control.data(), control[5], cuts);
            break;
    }
    return 0;
}
