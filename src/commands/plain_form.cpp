#include "commands/plain_form.h"

#include "platform/clock.h"

namespace morvale {

namespace {
const char* designCaption(BoxPage page) {
    switch (page) {
        case BoxPage::Video: return "Video stream";
        case BoxPage::Audio: return "Audio stream";
        case BoxPage::Subpicture: return "Subpicture";
    }
    return "";
}
}  // namespace

PlainForm::PlainForm() {
    options_.fill(true);
    edits_[static_cast<int>(Edit::VideoExt)] = "mpv";
    edits_[static_cast<int>(Edit::AudioExt)] = "mpa";
    edits_[static_cast<int>(Edit::SubExt)] = "sup";
    for (int n = 0; n < kStreamBoxCount; ++n) {
        StreamBox box = boxAt(n);
        boxes_[n].caption = designCaption(box.page);
        if (box.page == BoxPage::Subpicture && box.index > 0) {
            boxes_[n].hint = "Check the desired subpicture streams";
        }
    }
    panels_ = {" Ready", " Select or drop an EVO file to demux"};
    tree_ = {{"Video", {}}, {"Audio", {}}, {"Subpicture", {}}, {"Chapter", {}}};
}

bool PlainForm::isEnabled(Button button) const { return buttons_[static_cast<int>(button)]; }
void PlainForm::setEnabled(Button button, bool enabled) {
    buttons_[static_cast<int>(button)] = enabled;
}
bool PlainForm::isTicked(Option option) const { return options_[static_cast<int>(option)]; }
void PlainForm::setTicked(Option option, bool ticked) {
    options_[static_cast<int>(option)] = ticked;
}
std::string PlainForm::text(Edit edit) const { return edits_[static_cast<int>(edit)]; }
void PlainForm::setText(Edit edit, const std::string& text) {
    edits_[static_cast<int>(edit)] = text;
}

bool PlainForm::boxEnabled(StreamBox box) const { return boxes_[boxNumber(box)].enabled; }
void PlainForm::setBoxEnabled(StreamBox box, bool enabled) {
    boxes_[boxNumber(box)].enabled = enabled;
}
bool PlainForm::boxTicked(StreamBox box) const { return boxes_[boxNumber(box)].ticked; }
void PlainForm::setBoxTicked(StreamBox box, bool ticked) {
    boxes_[boxNumber(box)].ticked = ticked;
}
std::string PlainForm::boxCaption(StreamBox box) const { return boxes_[boxNumber(box)].caption; }
void PlainForm::setBoxCaption(StreamBox box, const std::string& caption) {
    boxes_[boxNumber(box)].caption = caption;
}
std::string PlainForm::boxHint(StreamBox box) const { return boxes_[boxNumber(box)].hint; }
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
