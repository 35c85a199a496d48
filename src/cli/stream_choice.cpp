// SPDX-License-Identifier: MIT
#include "cli/stream_choice.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

#include "commands/stream_names.h"

namespace morvale {

namespace {

constexpr char keyLetter(SlotKind kind) {
    return kind == SlotKind::Video ? 'v' : kind == SlotKind::Audio ? 'a' : 's';
}

// "v0", "a07", "s15": the kind's letter and the slot suffix without its dot.
std::string slotKey(SlotKind kind, int slot) {
    return keyLetter(kind) + slotSuffix(kind, slot).substr(1);
}

// "0xA0", "pes:0xC0", "sub:0x80", "ext:0x55".
std::optional<StreamIdName> parseStreamIdName(std::string_view name) {
    static constexpr std::pair<std::string_view, IdCarrier> kSpaces[] = {
        {"pes:", IdCarrier::PesStreamId},
        {"sub:", IdCarrier::SubStreamId},
        {"ext:", IdCarrier::StreamIdExtension},
    };
    StreamIdName parsed;
    for (const auto& [prefix, carrier] : kSpaces) {
        if (name.starts_with(prefix)) {
            parsed.carrier = carrier;
            name.remove_prefix(prefix.size());
        }
    }
    if (name.size() != 4 || (name.substr(0, 2) != "0x" && name.substr(0, 2) != "0X")) return std::nullopt;
    unsigned value = 0;
    for (char c : name.substr(2)) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : std::isxdigit(static_cast<unsigned char>(c))
                              ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                              : -1;
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    parsed.id = static_cast<uint8_t>(value);
    return parsed;
}

}  // namespace

std::optional<StreamChoice> parseStreamChoice(const std::string& name) {
    if (std::optional<StreamIdName> id = parseStreamIdName(name)) {
        return StreamChoice{name, SlotKind::Video, 0, false, id};
    }
    for (int order = 0; order < kSlotBoxCount; ++order) {
        const SlotRef ref = slotAt(order);
        if (name == slotKey(ref.kind, ref.slot)) return StreamChoice{name, ref.kind, ref.slot, false, std::nullopt};
        const std::string suffix = slotSuffix(ref.kind, ref.slot);
        if (name.size() > suffix.size() && name.ends_with(suffix) &&
            isBoxName(ref.kind, name.substr(0, name.size() - suffix.size()))) {
            return StreamChoice{name, ref.kind, ref.slot, true, std::nullopt};
        }
    }
    return std::nullopt;
}

std::vector<StreamChoice> parseStreamList(const std::string& list, std::string& unknown) {
    std::vector<StreamChoice> chosen;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        const std::string name = list.substr(start, comma - start);
        start = comma + 1;
        if (name.empty()) continue;
        std::optional<StreamChoice> choice = parseStreamChoice(name);
        if (!choice) {
            unknown = name;
            return {};
        }
        chosen.push_back(*choice);
    }
    return chosen;
}

std::variant<std::vector<ChosenBox>, std::string> chooseStreams(
    const std::vector<ChosenBox>& found, const std::vector<StreamChoice>& choices) {
    for (const StreamChoice& choice : choices) {
        if (choice.byId) return choice.name;
        const bool listed = std::any_of(found.begin(), found.end(), [&](const ChosenBox& box) {
            return box.kind == choice.kind && box.slot == choice.slot &&
                   (!choice.byCaption || box.caption == choice.name);
        });
        if (!listed) return choice.name;
    }
    std::vector<ChosenBox> chosen;
    for (const ChosenBox& box : found) {
        const bool wanted = std::any_of(choices.begin(), choices.end(), [&](const StreamChoice& c) {
            return c.kind == box.kind && c.slot == box.slot;
        });
        if (wanted) chosen.push_back(box);
    }
    return chosen;
}

std::variant<std::vector<StreamId>, UnmetChoice> chooseMkvStreams(
    const std::vector<PartScan>& parts, const std::vector<StreamChoice>& choices) {
    std::vector<StreamId> chosen;
    const auto take = [&](StreamId id) {
        if (std::find(chosen.begin(), chosen.end(), id) == chosen.end()) chosen.push_back(id);
    };
    for (const StreamChoice& choice : choices) {
        if (!choice.byId) {
            const ScannedStream* owner = parts.empty() ? nullptr : parts.back().owner(choice.kind, choice.slot);
            if (owner == nullptr ||
                (choice.byCaption &&
                 boxNameOf(choice.kind, owner->id.id) + slotSuffix(choice.kind, choice.slot) != choice.name)) {
                return UnmetChoice{choice.name};
            }
            take(owner->id);
            continue;
        }
        std::vector<StreamId> named;
        for (const PartScan& part : parts) {
            for (const ScannedStream& stream : part.streams) {
                if (choice.byId->matches(stream.id) &&
                    std::find(named.begin(), named.end(), stream.id) == named.end()) {
                    named.push_back(stream.id);
                }
            }
        }
        if (named.empty()) return UnmetChoice{choice.name};
        if (named.size() > 1) return UnmetChoice{choice.name, true};
        take(named.front());
    }
    return chosen;
}

std::string foundStreamsText(const std::vector<ChosenBox>& found) {
    std::string text;
    for (const ChosenBox& box : found) {
        if (!text.empty()) text += ", ";
        text += box.caption + " (" + slotKey(box.kind, box.slot) + ")";
    }
    return text.empty() ? "none" : text;
}

}  // namespace morvale
