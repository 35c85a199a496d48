#pragma once

#include <string>

namespace morvale::sample {

// What the playlist describes: the feature's two parts and their length in frames.
struct PlaylistTimes {
    int firstPartFrames;
    int secondPartFrames;
};

// VPLST000.XPL of the sample disc: the attribute items of its streams and one title that
// plays FEATURE_1 and FEATURE_2 with a video track, three audio tracks, two subtitle tracks
// and four chapters.
std::string samplePlaylist(const PlaylistTimes& times);

// A frame count as the playlist's HH:MM:SS:FF time code at 24 frames per second.
std::string timeCode(int frames);

}  // namespace morvale::sample
