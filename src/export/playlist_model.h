#pragma once

// The HD DVD playlist (VPLST000.XPL) read as XML into the parts other tools need: titles
// with their name, duration and time base, the clips each plays, its video, audio and
// subtitle tracks with their codec attributes, and its chapters. Read XPL's outline and tree
// come from the program's own byte-wise reader; this model serves the export to other tools.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvale {

// A title's time base: time codes HH:MM:SS:FF count FF frames at this rate.
inline constexpr int kDefaultTimeBaseFps = 60;

// A time code "HH:MM:SS:FF" as a frame count at `fps`; nothing when it is not one.
std::optional<int64_t> parseTimeCode(std::string_view text, int fps);
// A TitleSet timeBase such as "50fps" as its rate; nothing when it is not "<digits>fps".
std::optional<int> parseTimeBase(std::string_view text);
// A frame count at `fps` in milliseconds, rounded to the nearest.
int64_t framesToMilliseconds(int64_t frames, int fps);
// "en:00" -> "en"; the text up to its first colon.
std::string languageOfLangcode(std::string_view langcode);

enum class PlaylistTrackKind { Video, Audio, Subtitle };

struct PlaylistTrack {
    PlaylistTrackKind kind = PlaylistTrackKind::Video;
    int track = 0;         // the "track" attribute; 0 when missing or not a number
    int streamNumber = 0;  // audio and subtitles: the "streamNumber" attribute
    int mediaAttr = 0;     // index of the attribute item describing the codec
    std::string description;
    std::string language;  // from langcode, "en:00" -> "en"; empty when none
    // From the attribute item named by mediaAttr (empty when there is none).
    std::string codec;
    std::string channels;
    std::string sampleFrequency;
    std::string frameRate;
    // The slot of the stream this track plays, by the rule of the stream boxes: video track
    // t is video slot t-1; audio and subtitle streamNumber s are slot s-1. -1 when the
    // number names no slot.
    int slot = -1;
};

struct PlaylistClip {
    std::string src;                        // as written: "file:///dvddisc/HVDVD_TS/FEATURE_1.MAP"
    std::string mapName;                    // the file name of src: "FEATURE_1.MAP"
    std::optional<int64_t> titleTimeBegin;  // frames at the title's time base
    std::optional<int64_t> titleTimeEnd;
};

struct PlaylistChapter {
    std::string name;
    std::string timeCode;               // "00:00:03:00"
    std::optional<int64_t> beginFrame;  // at the title's time base
};

struct PlaylistTitle {
    std::string id;
    std::string name;  // displayName
    std::string durationTimeCode;
    std::optional<int64_t> durationFrames;
    int timeBaseFps = kDefaultTimeBaseFps;
    std::vector<PlaylistClip> clips;
    // In the order the title lists them; each track and stream number once (its first
    // mention), as the playlist tree lists them.
    std::vector<PlaylistTrack> tracks;
    std::vector<PlaylistChapter> chapters;
};

struct PlaylistModel {
    std::string displayName;  // of the Playlist element
    std::vector<PlaylistTitle> titles;
    // Index into titles of the title that plays the source, when one was chosen.
    std::optional<size_t> chosenTitle;
};

// The outcome of reading: the model, or why the bytes are not a playlist.
struct PlaylistReading {
    std::optional<PlaylistModel> model;
    std::string error;  // "not well-formed XML at line 3, column 7: ..." when model is empty
};

// Reads the playlist's bytes (UTF-8, UTF-16 or Latin-1 by its declaration) and chooses the
// title that plays `sourceBaseName` ("FEATURE_1") by the rule of the playlist page: the
// first element, in document order, whose name or an attribute names the source
// (case-sensitive), and the nearest Title element that begins before it. No title is chosen
// when no element names the source, when the first one that does is the document's first
// node, or when no Title begins before it.
PlaylistReading readPlaylistModel(std::span<const uint8_t> bytes, std::string_view sourceBaseName);

}  // namespace morvale

namespace morvale {

// The same from a file. Throws FileError when it cannot be opened or read.
PlaylistReading readPlaylistModelFile(const std::string& path, std::string_view sourceBaseName);

}  // namespace morvale
