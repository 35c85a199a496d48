#include "cli/stream_choice.h"

#include <algorithm>
#include <cstdio>

#include "commands/form_design.h"
#include "commands/stream_lists.h"

namespace morvale {

namespace {

// "v0", "a07", "s15": the page letter and the box's slot suffix without its dot.
std::string slotKey(StreamBox box) {
    return designOf(box.page).key + slotSuffix(box).substr(1);
}

}  // namespace

std::optional<StreamChoice> parseStreamChoice(const std::string& name) {
    for (int order = 0; order < kSlotBoxCount; ++order) {
        const StreamBox box = slotBoxAt(order);
        if (name == slotKey(box)) return StreamChoice{name, box, false};
        const std::string suffix = slotSuffix(box);
        if (name.size() > suffix.size() && name.ends_with(suffix) &&
            isBoxName(box.page, name.substr(0, name.size() - suffix.size()))) {
            return StreamChoice{name, box, true};
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

std::optional<std::string> applyStreamChoices(Form& form, const std::vector<StreamChoice>& chosen) {
    for (const StreamChoice& choice : chosen) {
        const bool found = form.boxEnabled(choice.box) &&
                           (!choice.byCaption || form.boxCaption(choice.box) == choice.name);
        if (!found) return choice.name;
    }
    for (int order = 0; order < kSlotBoxCount; ++order) {
        const StreamBox box = slotBoxAt(order);
        const bool wanted = std::any_of(chosen.begin(), chosen.end(),
                                        [&](const StreamChoice& c) { return c.box == box; });
        setBoxTickedAndNotify(form, box, wanted);
    }
    return std::nullopt;
}

}  // namespace morvale
