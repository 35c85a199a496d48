// SPDX-License-Identifier: MIT
#include "playlist/title_listing.h"

#include "platform/paths.h"
#include "playlist/attribute_lookup.h"

namespace morvale {

namespace {

constexpr int kVideoBoxTrack = 1;  // only the first video track has a box (cbVideo0)
constexpr int kTrackBoxes = 16;    // cbAudio00..15, cbSub00..15

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

bool inTable(std::span<const int32_t> marks, int32_t track) {
    return track >= 1 && static_cast<size_t>(track) <= marks.size();
}

// A track number outside its table names no codec: the line is listed with an empty codec.
std::string trackCodec(std::span<const int32_t> marks, int32_t track,
                       const std::array<std::string, 9>& codecs, int32_t mediaAttr) {
    return inTable(marks, track) ? codecName(codecs, mediaAttr) : std::string();
}

// Marks track `track` (1-based) as listed; false when it was listed before. A track outside
// the table has no mark and is listed every time it appears.
bool markTrack(std::span<int32_t> marks, int32_t track) {
    if (!inTable(marks, track)) return true;
    int32_t& mark = marks[static_cast<size_t>(track) - 1];
    if (mark != -1) return false;
    mark = 1;
    return true;
}

// Every lookup keeps its own result text from one tag to the next.
struct LookupSites {
    std::string titleName;
    std::string titleDuration;
    std::string audioDescription;
    std::string subtitleDescription;
    std::string chapterBegin;
    std::string chapterName;
};

class TitleLister {
  public:
    TitleLister(const XplCodecTables& codecs, TrackMarks marks) : codecs_(codecs), marks_(marks) {}

    void readLine(const std::string& line) {
        std::string upper = upperAscii(line);
        if (contains(upper, "<TITLE ")) readTitle(line);
        if (contains(upper, "<VIDEO ")) readVideo(line);
        if (contains(upper, "<AUDIO ")) {
            readTrack(line, TrackKind::Audio, codecs_.audio, marks_.audio, sites_.audioDescription,
                      listing_.audio);
        }
        if (contains(upper, "<SUBTITLE ")) {
            readTrack(line, TrackKind::Subtitle, codecs_.subpicture, marks_.subtitle,
                      sites_.subtitleDescription, listing_.subtitle);
        }
        if (contains(upper, "<CHAPTER ")) readChapter(line);
    }

    TitleListing& listing() { return listing_; }

  private:
    void readTitle(const std::string& line) {
        GetAttr(line, "displayName", sites_.titleName);
        GetAttr(line, "titleDuration", sites_.titleDuration);
        listing_.info.push_back("Name: " + sites_.titleName);
        listing_.info.push_back("Duration: " + sites_.titleDuration);
    }

    void readVideo(const std::string& line) {
        int32_t track = GetAttrInt(line, "track");
        if (!markTrack(marks_.video, track)) return;
        std::string text =
            trackCodec(marks_.video, track, codecs_.video, GetAttrInt(line, "mediaAttr")) +
            ".stream." + std::to_string(static_cast<int64_t>(track) - 1);
        listing_.video.push_back(text);
        listing_.tracks.push_back(
            {TrackKind::Video, std::move(text), track == kVideoBoxTrack ? 0 : -1});
    }

    void readTrack(const std::string& line, TrackKind kind,
                   const std::array<std::string, 9>& codecs, std::span<int32_t> marks,
                   std::string& descriptionSite, std::vector<std::string>& node) {
        int32_t stream = GetAttrInt(line, "streamNumber");
        if (!markTrack(marks, stream)) return;
        std::string text = trackCodec(marks, stream, codecs, GetAttrInt(line, "mediaAttr")) +
                           ".stream." + twoDigitSlot(static_cast<int64_t>(stream) - 1) + ".";
        GetAttr(line, "description", descriptionSite);
        text += descriptionSite;
        node.push_back(text);
        int box = stream >= 1 && stream <= kTrackBoxes ? stream - 1 : -1;
        listing_.tracks.push_back({kind, std::move(text), box});
    }

    void readChapter(const std::string& line) {
        GetAttr(line, "titleTimeBegin", sites_.chapterBegin);
        GetAttr(line, "displayName", sites_.chapterName);
        listing_.chapter.push_back(sites_.chapterBegin + ": " + sites_.chapterName);
    }

    const XplCodecTables& codecs_;
    TrackMarks marks_;
    LookupSites sites_;
    TitleListing listing_;
};

}  // namespace

std::string twoDigitSlot(int64_t slot) {
    std::string digits = std::to_string(slot);
    return slot >= 0 && slot < 10 ? "0" + digits : digits;
}

TitleListing listTitle(const std::vector<std::string>& lines, std::string_view playlistName,
                       const XplCodecTables& codecs, TrackMarks marks) {
    TitleLister lister(codecs, marks);
    if (!playlistName.empty())
        lister.listing().info.push_back("Title: " + std::string(playlistName));
    for (const std::string& line : lines)
        lister.readLine(line);
    return std::move(lister.listing());
}

}  // namespace morvale
