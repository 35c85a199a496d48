// SPDX-License-Identifier: MIT
#include "support/plain_form.h"

#include "controls/form_design.h"

namespace morvale {

PlainForm::PlainForm() {
    options_.fill(kDesignOptionTicked);
    for (const BoxPageDesign& design : kBoxPageDesigns)
        edits_[static_cast<int>(design.extension)] = design.designExtension;
    for (int n = 0; n < kStreamBoxCount; ++n) {
        const StreamBox box = boxAt(n);
        const BoxPageDesign& design = designOf(box.page);
        boxes_[n].caption = design.designCaption;
        if (design.boxesCarryHint && box.index > 0) boxes_[n].hint = design.hint;
    }
    panels_ = {" " + std::string(kDesignStateText), " " + std::string(kDesignProgressText)};
    for (const char* item : kDesignXplTree)
        tree_.push_back({item, {}});
}

bool PlainForm::isEnabled(Button button) const {
    return buttons_[static_cast<int>(button)];
}
void PlainForm::setEnabled(Button button, bool enabled) {
    buttons_[static_cast<int>(button)] = enabled;
}
bool PlainForm::isTicked(Option option) const {
    return options_[static_cast<int>(option)];
}
void PlainForm::setTicked(Option option, bool ticked) {
    options_[static_cast<int>(option)] = ticked;
}
std::string PlainForm::text(Edit edit) const {
    return edits_[static_cast<int>(edit)];
}
void PlainForm::setText(Edit edit, const std::string& text) {
    edits_[static_cast<int>(edit)] = text;
}

bool PlainForm::boxEnabled(StreamBox box) const {
    return boxes_[boxNumber(box)].enabled;
}
void PlainForm::setBoxEnabled(StreamBox box, bool enabled) {
    boxes_[boxNumber(box)].enabled = enabled;
}
bool PlainForm::boxTicked(StreamBox box) const {
    return boxes_[boxNumber(box)].ticked;
}
void PlainForm::setBoxTicked(StreamBox box, bool ticked) {
    boxes_[boxNumber(box)].ticked = ticked;
}
std::string PlainForm::boxCaption(StreamBox box) const {
    return boxes_[boxNumber(box)].caption;
}
void PlainForm::setBoxCaption(StreamBox box, const std::string& caption) {
    boxes_[boxNumber(box)].caption = caption;
}
std::string PlainForm::boxHint(StreamBox box) const {
    return boxes_[boxNumber(box)].hint;
}
void PlainForm::setBoxHint(StreamBox box, const std::string& hint) {
    boxes_[boxNumber(box)].hint = hint;
}

void PlainForm::log(std::string_view line) {
    log_.emplace_back(line);
    onLog(line);
}

void PlainForm::slog(std::string_view text, Panel panel) {
    panels_[static_cast<int>(panel)] = " " + std::string(text);
    onStatus(text, panel);
}

void PlainForm::pumpEvents() {
    if (onPump) onPump();
}

bool PlainForm::askYesNo(std::string_view /*title*/, std::string_view text) {
    questions_.emplace_back(text);
    return answer ? answer(text) : false;
}

void PlainForm::showError(std::string_view text) {
    errors_.emplace_back(text);
    onError(text);
}

}  // namespace morvale
