// SPDX-License-Identifier: MIT
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

#include "export/playlist_time.h"
#include "playlist/playlist_limits.h"

namespace morvale {

// A frame count at exactly `fps` frames a second in milliseconds, rounded to the nearest.
// Playlist times are not exact at every rate: unitsToMilliseconds (playlist_time.h) with the
// title's timeBase gives where they are on the disc.
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
    std::string langcode;  // as written: "en:00"
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

// A clip of a title: every element named ...Clip with a src (PrimaryAudioVideoClip,
// SecondaryAudioVideoClip, ...). Times are in units of the title's time base; the texts
// beside them are the attributes as written.
struct PlaylistClip {
    std::string src;                        // as written: "file:///dvddisc/HVDVD_TS/FEATURE_1.MAP"
    std::string mapName;                    // the file name of src: "FEATURE_1.MAP"
    std::optional<int64_t> titleTimeBegin;  // frames at the title's time base
    std::optional<int64_t> titleTimeEnd;
    bool primary = false;  // a PrimaryAudioVideoClip: it plays an EVO of HVDVD_TS
    std::string id;
    std::string dataSource;  // "Disc"; empty when not given
    std::string titleTimeBeginText, titleTimeEndText, clipTimeBeginText;
    // Where in the EVO the clip starts, counted from the EVO's first video presentation time.
    std::optional<int64_t> clipTimeBegin;
    // The EVO of the time map: the MAP's base name with ".EVO" (".evo" for a ".map"), in
    // HVDVD_TS. Empty when src names no plain file (empty, "." or "..", or a name holding a
    // control character or a colon), so it can be joined to a folder as it is.
    std::string evoName;
    // The clip's own Video, Audio and Subtitle elements, each track and stream number once.
    std::vector<PlaylistTrack> tracks;
};

struct PlaylistChapter {
    std::string name;
    std::string timeCode;               // "00:00:03:00"
    std::optional<int64_t> beginFrame;  // at the title's time base; nothing when not valid
};

struct PlaylistTitle {
    std::string id;
    std::string name;  // displayName
    std::string durationTimeCode;
    std::optional<int64_t> durationFrames;
    int timeBaseFps = kDefaultTimeBaseFps;
    TimeBase timeBase;    // the rate timeBaseFps stands for on the disc
    int titleNumber = 0;  // the titleNumber attribute; 0 when missing or not a number
    // The title's clips in timeline order (by titleTimeBegin; clips without one keep their
    // place among themselves after the others).
    std::vector<PlaylistClip> clips;
    // In the order the title lists them; each track and stream number once (its first
    // mention), as the playlist tree lists them.
    std::vector<PlaylistTrack> tracks;
    // Every Chapter, also those whose time is not valid (beginFrame empty).
    std::vector<PlaylistChapter> chapters;
    // What the reading left out or could not read, one line each for the caller's log:
    // 'Title 1 "Main", chapter 3 "Tones": time "00:00:03:30" is no HH:MM:SS:FF time at 24fps;
    // left out.' At most kMaxTitleNotes lines and a last one that counts the rest.
    std::vector<std::string> notes;
};

inline constexpr size_t kMaxTitleNotes = 100;

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
//
// Every title of the document is read, in document order; an element belongs to its nearest
// Title, a track to its nearest clip. Every string of the model is valid UTF-8 whatever the
// bytes were (as utf8OrLatin1 reads them). Nesting of any depth is read without recursion.
// More than kMaxPlaylistBytes bytes are refused with the reason as error.
PlaylistReading readPlaylistModel(std::span<const uint8_t> bytes, std::string_view sourceBaseName);

}  // namespace morvale

namespace morvale {

// The same from a file. A file of more than kMaxPlaylistBytes is refused (the error says
// so) before it is read. Throws FileError when it cannot be opened or read.
PlaylistReading readPlaylistModelFile(const std::string& path, std::string_view sourceBaseName);

}  // namespace morvale
