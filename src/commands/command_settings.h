// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/slot_table.h"
#include "engine/stream_kinds.h"

namespace morvale {

// The four options of the Options page.
struct RunOptions {
    bool continueToSecondPart = true;  // "Continue with second EVO"
    bool fastCheck = true;             // "Fast EVO checking"
    bool countFrames = true;           // "Count frames"
    bool details = true;               // "Detailed info"
};

// The extensions of the output files, per kind of slot, and those they have unless changed.
inline constexpr const char* kDefaultVideoExtension = "mpv";
inline constexpr const char* kDefaultAudioExtension = "mpa";
inline constexpr const char* kDefaultSubpictureExtension = "sup";

struct OutputExtensions {
    std::string video = kDefaultVideoExtension;
    std::string audio = kDefaultAudioExtension;
    std::string subpicture = kDefaultSubpictureExtension;

    const std::string& of(SlotKind kind) const {
        return kind == SlotKind::Video ? video : kind == SlotKind::Audio ? audio : subpicture;
    }
};
// The longest extension an output may be given.
inline constexpr int kExtensionMaxLength = 5;

// How Demux writes a subpicture stream: as subpicture records ("sp", the program's own
// format), as PGS (.sup, what Matroska players show), or as VobSub (.idx and .sub, DVD units).
enum class SubpictureFormat { Records, Pgs, VobSub };
struct SubpictureFormatName {
    SubpictureFormat format;
    const char* name;  // as morvale-cli and the settings store name it
};
inline constexpr SubpictureFormatName kSubpictureFormatNames[] = {
    {SubpictureFormat::Records, "sp"},
    {SubpictureFormat::Pgs, "pgs"},
    {SubpictureFormat::VobSub, "vobsub"},
};
inline const char* subpictureFormatName(SubpictureFormat format) {
    for (const SubpictureFormatName& entry : kSubpictureFormatNames)
        if (entry.format == format) return entry.name;
    return kSubpictureFormatNames[0].name;
}
inline std::optional<SubpictureFormat> subpictureFormatNamed(std::string_view name) {
    for (const SubpictureFormatName& entry : kSubpictureFormatNames)
        if (name == entry.name) return entry.format;
    return std::nullopt;
}

// A stream box chosen for a command: its slot and the caption its output file is named after
// ("VC-1.stream.0", or after Read XPL "DD+.6ch.stream.01.Deutsch").
struct ChosenBox {
    SlotKind kind = SlotKind::Video;
    int slot = 0;
    std::string caption;
};

// What a command runs on, as the user set it before pressing its button: the window fills it
// from its controls, morvale-cli from its arguments.
struct CommandSettings {
    std::string source;        // the source's path as given
    std::string playlist;      // the playlist's path; empty: none
    std::string outputFolder;  // empty: the current folder
    RunOptions options;
    OutputExtensions extensions;
    SubpictureFormat subpictureFormat = SubpictureFormat::Records;
    // The ticked boxes, in box order (cbVideo0, cbVideo1, cbAudio00..15, cbSub00..15).
    std::vector<ChosenBox> chosen;

    SlotSelection ticks() const {
        SlotSelection ticks;
        for (const ChosenBox& box : chosen)
            ticks.set(box.kind, box.slot, true);
        return ticks;
    }
};

}  // namespace morvale
