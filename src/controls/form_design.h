// SPDX-License-Identifier: MIT
#pragma once

#include <array>

#include "commands/command_settings.h"
#include "commands/read_xpl.h"
#include "controls/form.h"
#include "engine/stream_kinds.h"

namespace morvale {

// The controls as the window is designed, before the stored settings are read: the window
// builds itself so, and the plain form of morvale-cli and the tests starts so.

// What belongs to each page of stream boxes.
struct BoxPageDesign {
    BoxPage page;
    int boxes;       // tick boxes on the page; the first boxedSlots(page) have a slot
    Edit extension;  // the extension edit of the page's output files
    const char* designExtension;
    const char* designCaption;  // every box, before the first activation
    const char* emptyCaption;   // a box whose slot holds no stream
    const char* hint;           // the page's hint; on the subpicture page every box but the
    bool boxesCarryHint;        // first carries it too
};

inline constexpr std::array<BoxPageDesign, 3> kBoxPageDesigns = {{
    {BoxPage::Video, kVideoBoxes, Edit::VideoExt, kDefaultVideoExtension, "Video stream", "No video stream",
     "Check the desired video stream", false},
    {BoxPage::Audio, kAudioBoxes, Edit::AudioExt, kDefaultAudioExtension, "Audio stream", "No audio stream",
     "Check the desired audio streams", false},
    {BoxPage::Subpicture, kSubpictureBoxes, Edit::SubExt, kDefaultSubpictureExtension, "Subpicture", "No subpicture",
     "Check the desired subpicture streams", true},
}};

constexpr const BoxPageDesign& designOf(BoxPage page) {
    return kBoxPageDesigns[static_cast<size_t>(page)];
}

// Every option is ticked.
inline constexpr bool kDesignOptionTicked = true;

// The status panels.
inline constexpr const char* kDesignStateText = "Ready";
inline constexpr const char* kDesignProgressText = "Select or drop an EVO file to demux";

// The playlist tree's top items before a playlist is read.
inline constexpr std::array<const char*, 4> kDesignXplTree = kUnlistedXplTree;

}  // namespace morvale
