// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "commands/command_settings.h"
#include "engine/part_scan.h"

namespace morvale {

// A stream named on the command line: by slot key (v0 v1 a00..a15 s00..s15) or by the
// caption a scan gives its box (VC-1.stream.0, DD+.stream.00, Subpicture.01). Either way
// the name fixes the slot; a caption also fixes what the scan must have called it.
//
// For the Matroska file a stream may also be named by its identifier: "0xA0" (in whichever id
// space the scan met it), or with its id space, "pes:0xC0" (a PES stream_id), "sub:0x80" (a
// private stream 1 sub-stream), "ext:0x55" (a stream_id_extension).
struct StreamIdName {
    std::optional<IdCarrier> carrier;  // nothing: any id space
    uint8_t id = 0;
    bool matches(StreamId stream) const {
        return stream.id == id && (!carrier || *carrier == stream.carrier);
    }
};
struct StreamChoice {
    std::string name;
    SlotKind kind = SlotKind::Video;
    int slot = 0;
    bool byCaption = false;
    std::optional<StreamIdName> byId;
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

// The streams a Matroska file takes (their identifiers, in the order the scan met them): by
// box name or slot key the slot owner of the scan's last part, by identifier every stream
// met that it names. Or the first choice the scan did not meet, or that names more than
// one stream (an identifier met in two id spaces), with why.
struct UnmetChoice {
    std::string name;
    bool ambiguous = false;
};
std::variant<std::vector<StreamId>, UnmetChoice> chooseMkvStreams(
    const std::vector<PartScan>& parts, const std::vector<StreamChoice>& choices);

// The found boxes for a message: "VC-1.stream.0 (v0), DD+.stream.00 (a00)", or "none".
std::string foundStreamsText(const std::vector<ChosenBox>& found);

}  // namespace morvale
