#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "commands/command_settings.h"

namespace morvale {

// A stream named on the command line: by slot key (v0 v1 a00..a15 s00..s15) or by the
// caption a scan gives its box (VC-1.stream.0, DD+.stream.00, Subpicture.01). Either way
// the name fixes the slot; a caption also fixes what the scan must have called it.
struct StreamChoice {
    std::string name;
    SlotKind kind = SlotKind::Video;
    int slot = 0;
    bool byCaption = false;
};

// Nothing when the name is neither a slot key nor a caption a scan can give.
std::optional<StreamChoice> parseStreamChoice(const std::string& name);

// A comma-separated list; empty items are skipped. The first unknown name is returned in
// `unknown` and the result is then empty.
std::vector<StreamChoice> parseStreamList(const std::string& list, std::string& unknown);

// The found boxes the choices name, in box order; or the first choice the scan did not find
// (a slot not listed, or listed with another caption).
std::variant<std::vector<ChosenBox>, std::string> chooseStreams(
    const std::vector<ChosenBox>& found, const std::vector<StreamChoice>& choices);

// The found boxes for a message: "VC-1.stream.0 (v0), DD+.stream.00 (a00)", or "none".
std::string foundStreamsText(const std::vector<ChosenBox>& found);

}  // namespace morvale
