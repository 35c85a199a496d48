#include "cli/stream_choice.h"

#include <algorithm>

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

}  // namespace

std::optional<StreamChoice> parseStreamChoice(const std::string& name) {
    for (int order = 0; order < kSlotBoxCount; ++order) {
        const SlotRef ref = slotAt(order);
        if (name == slotKey(ref.kind, ref.slot)) return StreamChoice{name, ref.kind, ref.slot};
        const std::string suffix = slotSuffix(ref.kind, ref.slot);
        if (name.size() > suffix.size() && name.ends_with(suffix) &&
            isBoxName(ref.kind, name.substr(0, name.size() - suffix.size()))) {
            return StreamChoice{name, ref.kind, ref.slot, true};
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

std::string foundStreamsText(const std::vector<ChosenBox>& found) {
    std::string text;
    for (const ChosenBox& box : found) {
        if (!text.empty()) text += ", ";
        text += box.caption + " (" + slotKey(box.kind, box.slot) + ")";
    }
    return text.empty() ? "none" : text;
}

}  // namespace morvale
