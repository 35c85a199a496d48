#include "commands/stream_lists.h"

#include <cstdio>

#include "commands/form_design.h"
#include "platform/paths.h"

namespace morvale {

namespace {

// The name of a stream whose slot has a box; empty for any other identifier.
std::string boxNameOf(BoxPage page, int32_t id) {
    const StreamKind* kind = streamKindInSlot(page, id);
    if (kind == nullptr || id - kind->first >= boxedSlots(page)) return {};
    return std::string(kind->boxName);
}

}  // namespace

StreamBox slotBoxAt(int order) {
    if (order < 2) return {BoxPage::Video, order};
    if (order < 18) return {BoxPage::Audio, order - 2};
    return {BoxPage::Subpicture, order - 18};
}

std::string slotSuffix(StreamBox box) {
    char text[8];
    if (box.page == BoxPage::Video) {
        std::snprintf(text, sizeof text, ".%d", box.index);
    } else {
        std::snprintf(text, sizeof text, ".%02d", box.index);
    }
    return text;
}

const char* emptyCaption(BoxPage page) {
    return designOf(page).emptyCaption;
}

std::string videoStreamName(int32_t id) {
    return boxNameOf(BoxPage::Video, id);
}
std::string audioStreamName(int32_t id) {
    return boxNameOf(BoxPage::Audio, id);
}
std::string subpictureStreamName(int32_t id) {
    return boxNameOf(BoxPage::Subpicture, id);
}

bool isBoxName(BoxPage page, std::string_view name) {
    for (const StreamKind& kind : kStreamKinds) {
        if (kind.hasSlot && kind.slotKind == page && kind.boxName == name) return true;
    }
    return false;
}

int32_t slotEntry(const EngineState& engine, StreamBox box) {
    return engine.streamIds(box.page)[static_cast<size_t>(box.index)];
}

void Resetcbs(Form& form) {
    for (int n = 0; n < kStreamBoxCount; ++n) {
        StreamBox box = boxAt(n);
        form.setBoxEnabled(box, false);
        form.setBoxCaption(box, emptyCaption(box.page));
    }
}

void ListFoundStreams(Form& form, const EngineState& engine) {
    for (int order = 0; order < kSlotBoxCount; ++order) {
        StreamBox box = slotBoxAt(order);
        int32_t entry = slotEntry(engine, box);
        bool found = entry >= 0;
        form.setBoxEnabled(box, found);
        setBoxTickedAndNotify(form, box, found);
        if (!found) continue;
        form.setBoxCaption(box, boxNameOf(box.page, entry) + slotSuffix(box));
    }
}

void cbVideoClick(Form& form) {
    bool any = false;
    for (int n = 0; n < kStreamBoxCount && !any; ++n)
        any = form.boxTicked(boxAt(n));
    form.setEnabled(Button::Demux, any);
    if (upperExtension(form.text(Edit::EvoFile)) == ".EVO") {
        form.setEnabled(Button::Rebuild, form.isEnabled(Button::Demux));
    }
}

void setBoxTickedAndNotify(Form& form, StreamBox box, bool ticked) {
    if (form.boxTicked(box) == ticked) return;
    form.setBoxTicked(box, ticked);
    cbVideoClick(form);
}

}  // namespace morvale
