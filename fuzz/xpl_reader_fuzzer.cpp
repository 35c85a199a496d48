// SPDX-License-Identifier: MIT
// The playlist reader over arbitrary bytes, chained as Read XPL chains it: the outline,
// the title that plays the source, the tree items and the tracks.
//
// Input: 5 control bytes, then the playlist.
//   0-3   the block cuts of the second reading (see Cuts)
//   4     the source's base name (one of kBaseNames)
//
// The playlist is read twice into the same codec tables, once whole and once in cut blocks.
// Checked: the cut changes no outline line, no playlist name and no codec name; every line
// and every tree and track text, shown as UTF-8, is valid UTF-8 and converts back to the
// playlist's bytes; the title is a run of the outline's lines; the track marks hold only -1
// and 1; a track ticks a box only in the range of its kind, at most once, and only a box
// whose track is marked; the tree's Video, Audio and Subtitle items are the track texts.

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "playlist/latin1.h"
#include "playlist/outline_reader.h"
#include "playlist/title_listing.h"
#include "playlist/title_selection.h"

namespace morvale::fuzzing {
namespace {

constexpr size_t kControlBytes = 5;
// Base names as the playlist holds them (Latin-1 bytes).
constexpr std::array<std::string_view, 4> kBaseNames = {"FEATURE_1", "FEATURE_2", "VTS_01_1",
                                                        "FILM\xC9_1"};


bool validUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<uint8_t>(text[i]);
        size_t length = lead < 0x80           ? 1
                        : (lead >> 5) == 0x6  ? 2
                        : (lead >> 4) == 0xE  ? 3
                        : (lead >> 3) == 0x1E ? 4
                                              : 0;
        if (length == 0 || i + length > text.size()) return false;
        if (length == 2 && lead < 0xC2) return false;  // overlong
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<uint8_t>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

// A playlist text as the window shows it.
void checkShown(const std::string& latin1) {
    const std::string shown = latin1ToUtf8(latin1);
    FUZZ_CHECK(validUtf8(shown));
    FUZZ_CHECK(utf8ToLatin1(shown) == latin1);
}

struct Reading {
    std::vector<std::string> lines;
    std::string playlistName;
};

Reading read(std::span<const uint8_t> playlist, XplCodecTables& codecs, Cuts* cuts) {
    OutlineReader reader(codecs);
    size_t position = 0;
    while (position < playlist.size()) {
        const size_t n = cuts ? cuts->next(playlist.size() - position) : playlist.size();
        reader.feed(playlist.subspan(position, n));
        position += n;
    }
    return {reader.takeLines(), reader.playlistName()};
}

bool isRunOf(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
    if (part.empty()) return true;
    return std::search(whole.begin(), whole.end(), part.begin(), part.end()) != whole.end();
}

std::vector<std::string> trackTexts(const TitleListing& listing, TrackKind kind) {
    std::vector<std::string> texts;
    for (const ListedTrack& track : listing.tracks)
        if (track.kind == kind) texts.push_back(track.text);
    return texts;
}

void checkTracks(const TitleListing& listing, const TrackMarkTables& marks) {
    for (int32_t mark : marks.video)
        FUZZ_CHECK(mark == -1 || mark == 1);
    for (int32_t mark : marks.audio)
        FUZZ_CHECK(mark == -1 || mark == 1);
    for (int32_t mark : marks.subtitle)
        FUZZ_CHECK(mark == -1 || mark == 1);

    std::array<int, 16> videoTicks{}, audioTicks{}, subtitleTicks{};
    for (const ListedTrack& track : listing.tracks) {
        checkShown(track.text);
        if (track.box == -1) continue;
        FUZZ_CHECK(track.box >= 0);
        const auto box = static_cast<size_t>(track.box);
        switch (track.kind) {
            case TrackKind::Video:
                FUZZ_CHECK(box == 0);
                FUZZ_CHECK(marks.video[box] == 1);
                FUZZ_CHECK(++videoTicks[box] == 1);
                break;
            case TrackKind::Audio:
                FUZZ_CHECK(box < 16);
                FUZZ_CHECK(marks.audio[box] == 1);
                FUZZ_CHECK(++audioTicks[box] == 1);
                break;
            case TrackKind::Subtitle:
                FUZZ_CHECK(box < 16);
                FUZZ_CHECK(marks.subtitle[box] == 1);
                FUZZ_CHECK(++subtitleTicks[box] == 1);
                break;
        }
    }
    FUZZ_CHECK(trackTexts(listing, TrackKind::Video) == listing.video);
    FUZZ_CHECK(trackTexts(listing, TrackKind::Audio) == listing.audio);
    FUZZ_CHECK(trackTexts(listing, TrackKind::Subtitle) == listing.subtitle);
    for (const auto* node : {&listing.info, &listing.chapter})
        for (const std::string& text : *node)
            checkShown(text);
}

}  // namespace
}  // namespace morvale::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace morvale;
    using namespace morvale::fuzzing;
    const ControlBytes control(data, size, kControlBytes);
    const std::span<const uint8_t> playlist = control.data();
    const std::string_view baseName = kBaseNames[control[4] % kBaseNames.size()];

    XplCodecTables codecs;
    const Reading whole = read(playlist, codecs, nullptr);
    const XplCodecTables afterWhole = codecs;
    Cuts cuts(control[0], control[1], control[2], control[3]);
    Reading cut = read(playlist, codecs, &cuts);
    FUZZ_CHECK(cut.lines == whole.lines);
    FUZZ_CHECK(cut.playlistName == whole.playlistName);
    FUZZ_CHECK(codecs.video == afterWhole.video);
    FUZZ_CHECK(codecs.audio == afterWhole.audio);
    FUZZ_CHECK(codecs.subpicture == afterWhole.subpicture);

    const size_t tags = static_cast<size_t>(std::count(playlist.begin(), playlist.end(), '>'));
    FUZZ_CHECK(whole.lines.size() == tags);
    for (const std::string& line : whole.lines)
        checkShown(line);

    std::vector<std::string> title = cut.lines;
    if (!selectTitle(title, baseName)) {
        FUZZ_CHECK(title == whole.lines);
        return 0;
    }
    FUZZ_CHECK(isRunOf(title, whole.lines));

    TrackMarkTables marks;
    const TitleListing listing = listTitle(title, whole.playlistName, codecs, marks.spans());
    checkTracks(listing, marks);
    return 0;
}
