// SPDX-License-Identifier: MIT
#include "controls/stream_boxes.h"

#include "controls/form_design.h"
#include "platform/paths.h"

namespace morvale {

StreamBox slotBoxAt(int order) {
    const SlotRef ref = slotAt(order);
    return {ref.kind, ref.slot};
}

const char* emptyCaption(BoxPage page) {
    return designOf(page).emptyCaption;
}

void Resetcbs(Form& form) {
    for (int n = 0; n < kStreamBoxCount; ++n) {
        StreamBox box = boxAt(n);
        form.setBoxEnabled(box, false);
        form.setBoxCaption(box, emptyCaption(box.page));
    }
}

void ListFoundStreams(Form& form, const SlotTable& owners) {
    for (int order = 0; order < kSlotBoxCount; ++order) {
        StreamBox box = slotBoxAt(order);
        const int32_t entry = owners.owner(box.page, box.index);
        bool found = entry >= 0;
        form.setBoxEnabled(box, found);
        setBoxTickedAndNotify(form, box, found);
        if (!found) continue;
        form.setBoxCaption(box, boxNameOf(box.page, entry) + slotSuffix(box.page, box.index));
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

std::vector<ChosenBox> tickedBoxes(const Form& form) {
    std::vector<ChosenBox> chosen;
    for (int order = 0; order < kSlotBoxCount; ++order) {
        const StreamBox box = slotBoxAt(order);
        if (form.boxTicked(box)) chosen.push_back({box.page, box.index, form.boxCaption(box)});
    }
    return chosen;
}

}  // namespace morvale
